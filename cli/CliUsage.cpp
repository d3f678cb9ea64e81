#include "cli/CliUsage.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <regex>

CLI::Validator RangeCheck(long long low, long long high) {
    const std::string allowed = std::to_string(low) + "…" + std::to_string(high);
    return CLI::Validator(
        [low, high, allowed](std::string& value) -> std::string {
            try {
                size_t used = 0;
                const long long n = std::stoll(value, &used);
                if (used == value.size() && n >= low && n <= high) return {};
            } catch (const std::exception&) {
            }
            return "допустимо " + allowed + ", дано " + value;
        },
        allowed);
}

CLI::Validator OneOfCheck(const std::vector<int>& values) {
    std::string allowed;
    for (int v : values) allowed += (allowed.empty() ? "" : ", ") + std::to_string(v);
    return CLI::Validator(
        [values, allowed](std::string& value) -> std::string {
            for (int v : values)
                if (value == std::to_string(v)) return {};
            return "допустимо " + allowed + ", дано " + value;
        },
        allowed);
}

namespace {

void RussianTypes(CLI::App& app, const std::shared_ptr<CLI::FormatterBase>& formatter) {
    app.formatter(formatter);
    for (CLI::Option* option : app.get_options()) {
        // The type comes first, the checks' descriptions after a colon.
        const std::string full = option->get_type_name(), type = full.substr(0, full.find(':'));
        if (type == "INT" || type == "UINT") option->type_name("ЧИСЛО");
        else if (type == "TEXT") option->type_name("ТЕКСТ");
    }
    if (CLI::Option* help = app.get_help_ptr()) help->description("эта справка")->group("Параметры");
    for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
        sub->group("Команды");
        RussianTypes(*sub, formatter);
    }
}

size_t Characters(const std::string& text) {
    return size_t(std::count_if(text.begin(), text.end(), [](char ch) { return (uint8_t(ch) & 0xC0) != 0x80; }));
}

// The parser pads its columns by bytes; Cyrillic takes two bytes a letter.
class Formatter : public CLI::Formatter {
public:
    std::string make_option(const CLI::Option* option, bool positional) const override {
        const std::string name = "  " + make_option_name(option, positional) + make_option_opts(option);
        const std::string description = make_option_desc(option);
        const size_t width = get_column_width(), used = Characters(name);
        std::string out = name;
        if (!description.empty()) {
            out += used >= width ? "\n" + std::string(width, ' ') : std::string(width - used, ' ');
            for (const char ch : description) {
                out += ch;
                if (ch == '\n') out += std::string(width, ' ');
            }
        }
        return out + "\n";
    }
};

// The last subcommand the arguments reached, where the error happened, and its path ("price set").
const CLI::App& Deepest(const CLI::App& app, std::string& path) {
    const CLI::App* at = &app;
    for (;;) {
        const auto parsed = at->get_subcommands();
        if (parsed.empty()) return *at;
        at = parsed.back();
        path += (path.empty() ? "" : " ") + at->get_name();
    }
}

std::string CommandList(const CLI::App& app) {
    std::string list;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        list += (list.empty() ? "" : ", ") + sub->get_name();
    return list;
}

}  // namespace

void UseRussianHelp(CLI::App& app) {
    auto formatter = std::make_shared<Formatter>();
    formatter->label("Usage", "Использование");
    formatter->label("OPTIONS", "ПАРАМЕТРЫ");
    formatter->label("SUBCOMMAND", "КОМАНДА");
    formatter->label("SUBCOMMANDS", "КОМАНДЫ");
    formatter->label("Positionals", "Аргументы");
    formatter->label("REQUIRED", "обязательно");
    RussianTypes(app, formatter);
}

std::string UsageErrorText(const CLI::App& app, const CLI::ParseError& error) {
    std::string path;
    const CLI::App& at = Deepest(app, path);
    const std::string where = path.empty() ? "" : path + ": ";
    const std::string what = error.what();
    const std::string commands = CommandList(at);
    std::smatch m;
    if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
        const std::string extra = what.substr(what.find(": ") + 2);
        std::string text = where + "неизвестная команда или лишний аргумент: " + extra;
        if (!commands.empty()) text += ". Команды: " + commands;
        return text;
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error)) {
        if (what.starts_with("A subcommand")) {
            const auto unknown = at.remaining();
            if (unknown.empty()) return where + "нужна команда: " + commands;
            return where + "неизвестная команда " + unknown.front() + ". Команды: " + commands;
        }
        return where + "не задан аргумент " + what.substr(0, what.find(" is required"));
    }
    // Our own checks speak Russian already: "--address: допустимо 1…254, дано 300".
    if (dynamic_cast<const CLI::ValidationError*>(&error)) return where + what;
    if (dynamic_cast<const CLI::ConversionError*>(&error)) {
        if (std::regex_search(what, m, std::regex("The value (.*) is not an allowed value for (.*)")) ||
            std::regex_search(what, m, std::regex("Could not convert: (.*) = (.*)")))
            return where + (what.starts_with("The") ? m[2].str() + ": не число: " + m[1].str()
                                                    : m[1].str() + ": не число: " + m[2].str());
        return where + "не число: " + what;
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
        if (std::regex_search(what, m, std::regex("arguments to (\\S+), got")) || std::regex_search(what, m, std::regex("^(\\S+):")))
            return where + m[1].str() + ": не то число значений";
        return where + "не то число значений";
    }
    return where + "неверные аргументы";
}
