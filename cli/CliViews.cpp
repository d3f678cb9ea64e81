#include "cli/CliViews.h"

TViews TCliViews::Bundle() {
    return TViews{&dispatcher_, this, this, this, this, this, this, this, this};
}

void TCliViews::SetDevAddr(uint8_t address) {
    // As the window: 0 and 255 are no addresses a controller takes.
    if (address != 0 && address != 255) Window.DevAddr = address;
}

void TCliViews::StartSdFile(uint32_t size) {
    SdFileStarted = true;
    SdFileSize = size;
    SdReceived = 0;
    SdFileText.clear();
    SdFileBytes.clear();
}

void TCliViews::AppendSdFileChunk(const std::string& text, int, uint32_t received) {
    SdFileText += text;
    SdReceived = received;
}

void TCliViews::Note(std::vector<std::string>& texts, const std::string& text) {
    // The status bar shows one text; only changes are history.
    if (texts.empty() || texts.back() != text) texts.push_back(text);
}
