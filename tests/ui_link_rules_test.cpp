// Rules of the main window applied without widgets: link panels, address checks,
// the bit-rate rule, panel hit test, port list order, job buttons, row catalogs, pictures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <QColor>
#include <QImage>

#include "engine/Views.h"
#include "ui/main/ButtonRules.h"
#include "ui/main/LinkRules.h"
#include "ui/main/StatusImages.h"
#include "engine/StatusRows.h"

namespace {

TEST(LinkPanels, RateAndAddressTextsFollowTheProtocol) {
    struct Case {
        int baud;
        uint8_t addr;
        const char* rateText;
        const char* addrText;
    };
    const Case cases[] = {
        {9600, 1, "9600", "Адрес: 1"},
        {4800, 1, "4800 VRX 2.0", "Пистолет: 1"},
        {115200, 254, "115200", "Адрес: 254"},
        {1234, 44, "1234", "Адрес: 44"},  // a rate from the file is shown as it stands
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BitRatePanelText(c.baud), c.rateText);
        EXPECT_EQ(AddressPanelText(c.baud, c.addr), c.addrText);
    }
}

TEST(LinkRules, BitRateChangeIsSentOnlyBetweenOwnProtocolRates) {
    struct Case {
        int from, to;
        bool sent;
    };
    const Case cases[] = {
        {9600, 19200, true}, {19200, 9600, true}, {9600, 9600, true},
        {9600, 4800, false}, {4800, 9600, false}, {4800, 4800, false},
    };
    for (const Case& c : cases) EXPECT_EQ(BitRateChangeIsSent(c.from, c.to), c.sent) << c.from << "->" << c.to;
}

TEST(LinkRules, StatusBarAddressEditorAcceptsOneTo254) {
    struct Case {
        const char* text;
        int accepted;  // -1: dropped
    };
    const Case cases[] = {
        {"1", 1}, {"254", 254}, {"0", -1}, {"255", -1}, {"-3", -1}, {"", -1},
        {"12a", -1}, {" 5", -1}, {"99999999999", -1}, {"+7", 7},
    };
    for (const Case& c : cases) {
        const auto got = AcceptedDevAddr(c.text);
        EXPECT_EQ(got ? int(*got) : -1, c.accepted) << '"' << c.text << '"';
    }
}

TEST(LinkRules, NewBusAddressRangeDependsOnTheRate) {
    const std::string own = "Адрес должен быть от 1 до 127";
    const std::string vrx = "Адрес должен быть от 1 до 225";
    struct Case {
        const char* text;
        int baud;
        std::string error;
    };
    const Case cases[] = {
        {"1", 9600, ""}, {"127", 9600, ""}, {"128", 9600, own}, {"0", 19200, own}, {"x", 9600, own},
        {"200", 4800, ""}, {"225", 4800, ""}, {"226", 4800, vrx}, {"", 4800, vrx},
    };
    for (const Case& c : cases) {
        const NewAddressCheck check = CheckNewBusAddress(c.text, c.baud);
        EXPECT_EQ(check.error, c.error) << c.text << " at " << c.baud;
        if (c.error.empty()) {
            EXPECT_EQ(check.value, std::stoi(c.text));
        }
    }
}

TEST(LinkRules, PanelUnderTheMouseAddsWidthsFromTheLeft) {
    const std::vector<int> widths{50, 80, 90, 300, 50};
    struct Case {
        int x, panel;
    };
    const Case cases[] = {{0, 0}, {49, 0}, {50, 1}, {129, 1}, {130, 2}, {219, 2}, {220, 3}, {519, 3},
                          {520, 4}, {569, 4}, {570, 4}, {5000, 4}};
    for (const Case& c : cases) EXPECT_EQ(PanelAt(widths, c.x), c.panel) << c.x;
    EXPECT_EQ(ProgressPanelWidth(1024, widths), (1024 - 220) / 2);
    EXPECT_EQ(ProgressPanelWidth(221, widths), 0);  // half of one pixel rounds toward zero
    EXPECT_EQ(ProgressPanelWidth(100, widths), 0);  // never negative
    // A long message takes room from the progress, down to a third of what is left.
    EXPECT_EQ(ProgressPanelWidth(1024, widths, 300), 402);  // fits in half: nothing moves
    EXPECT_EQ(ProgressPanelWidth(1024, widths, 500), 304);
    EXPECT_EQ(ProgressPanelWidth(1024, widths, 700), 268);  // a third at least
}

TEST(PortList, SortedByteWiseStableAndNamelessSkipped) {
    const auto list = SortedPortList({
        {"ttyS2", "A (ttyS2)"}, {"ttyS10", "B (ttyS10)"}, {"", "nameless"},
        {"ttyUSB0", "first"}, {"ttyUSB0", "second"}, {"pts/3", "C (pts/3)"},
    });
    std::vector<std::string> shown;
    for (const auto& p : list) shown.push_back(p.friendlyName);
    EXPECT_EQ(shown, (std::vector<std::string>{"C (pts/3)", "B (ttyS10)", "A (ttyS2)", "first", "second"}));

    std::vector<PortEntry> many;
    for (int i = 0; i < 300; ++i) many.push_back({"ttyX" + std::to_string(i), ""});
    EXPECT_EQ(SortedPortList(many).size(), kMaxPorts);
}

TEST(PortList, FriendlyNameFromDescriptionOrManufacturer) {
    EXPECT_EQ(FriendlyPortName("USB Serial", "FTDI", "ttyUSB0"), "USB Serial (ttyUSB0)");
    EXPECT_EQ(FriendlyPortName("", "FTDI", "ttyUSB0"), "FTDI (ttyUSB0)");
    EXPECT_EQ(FriendlyPortName("", "", "ttyS0"), "ttyS0");
    EXPECT_EQ(BusyPortCaption("FTDI (ttyUSB0)"), "FTDI (ttyUSB0) (Занят)");
}

TEST(PortList, AdapterFactsInTheSecondColumnBusyMarkBeforeThem) {
    struct Case {
        const char *description, *manufacturer, *serial, *details;
    };
    const Case cases[] = {
        {"FT232R USB UART", "FTDI", "A50285BI", "FTDI, с/н A50285BI"},
        {"", "FTDI", "A50285BI", "с/н A50285BI"},  // the manufacturer is the caption already
        {"USB Serial", "", "", ""},
        {"", "", "", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(PortDetails(c.description, c.manufacturer, c.serial), c.details) << c.details;
    const PortEntry usb{"ttyUSB0", "FT232R USB UART (ttyUSB0)", "FTDI, с/н A50285BI"};
    EXPECT_EQ(PortMenuText(usb), "FT232R USB UART (ttyUSB0)\tFTDI, с/н A50285BI");
    EXPECT_EQ(BusyPortCaption(PortMenuText(usb)), "FT232R USB UART (ttyUSB0) (Занят)\tFTDI, с/н A50285BI");
    EXPECT_EQ(PortMenuText({"ttyS0", "ttyS0", ""}), "ttyS0");
}

// An adapter is saved by its udev by-id link and shown by today's tty name; plain names
// from older settings files, and links whose adapter is unplugged, stay as they are.
TEST(PortList, StableLinkSavedShortNameShown) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("ornix-by-id-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "by-id");
    std::ofstream(dir / "ttyUSB3").put('x');
    const std::string usb3 = (dir / "ttyUSB3").string();
    const std::string byId = (dir / "by-id").string();
    fs::create_symlink("../ttyUSB3", dir / "by-id" / "usb-FTDI_FT232R_A50285BI-if00-port0");
    fs::create_symlink("../ttyUSB3", dir / "by-id" / "usb-FTDI_FT232R_A50285BI-if01-port0");
    fs::create_symlink("/dev/null", dir / "by-id" / "usb-Null_Adapter-if00");
    fs::create_symlink("../ttyUSB7", dir / "by-id" / "usb-Unplugged-if00");
    const std::string ftdi = byId + "/usb-FTDI_FT232R_A50285BI-if00-port0";

    struct Case {
        std::string port, stable;
    };
    const Case saved[] = {
        {usb3, ftdi},  // of two links the same one every time
        {"null", byId + "/usb-Null_Adapter-if00"},
        {"ttyS0", ""},
        {"ttyNoSuchPort0", ""},
        {"rfc2217://127.0.0.1:4000", ""},  // a converter is saved as typed, whole
        {"tcp://[::1]:23", ""},
    };
    for (const Case& c : saved) EXPECT_EQ(StablePortPath(c.port, byId), c.stable) << c.port;
    EXPECT_EQ(StablePortPath(usb3, (dir / "no-by-id").string()), "");

    const Case shown[] = {
        {ftdi, usb3},
        {byId + "/usb-Null_Adapter-if00", "null"},
        {byId + "/usb-Unplugged-if00", byId + "/usb-Unplugged-if00"},
        {"ttyUSB0", "ttyUSB0"},
        {"pts/3", "pts/3"},
        {"rfc2217://station-7:4000", "rfc2217://station-7:4000"},
    };
    for (const Case& c : shown) EXPECT_EQ(ShortPortName(c.port, byId), c.stable) << c.port;
    fs::remove_all(dir);
}

TEST(JobButtons, ActionsByButtonStateAndWorker) {
    EXPECT_EQ(PollButtonAction(true, false), JobAction::Start);
    EXPECT_EQ(PollButtonAction(false, true), JobAction::Stop);
    EXPECT_EQ(PollButtonAction(true, true), JobAction::None);   // a single operation still runs
    EXPECT_EQ(PollButtonAction(false, false), JobAction::None);
    EXPECT_EQ(StopOrStartAction(true), JobAction::Stop);        // sell test while polling stops the poll
    EXPECT_EQ(StopOrStartAction(false), JobAction::Start);
    EXPECT_EQ(StartWhenIdleAction(true), JobAction::None);
    EXPECT_EQ(StartWhenIdleAction(false), JobAction::Start);
}

TEST(JobButtons, WindowGroupHoldsAtMostOneDown) {
    using S = std::array<bool, 3>;
    EXPECT_EQ(WindowGroupAfter(S{true, false, false}, 1, true), (S{false, true, false}));
    EXPECT_EQ(WindowGroupAfter(S{false, true, false}, 1, false), (S{false, false, false}));
    EXPECT_EQ(WindowGroupAfter(S{true, false, false}, 2, false), (S{true, false, false}));
    EXPECT_EQ(WindowGroupAfter(S{true, false, false}, 7, true), (S{true, false, false}));
}

TEST(RowCatalogs, SizesAndTheRowsOthersAddressByIndex) {
    EXPECT_EQ(kTrkStatusCatalog.rows.size(), 39u);
    EXPECT_EQ(kChStatusCatalog.rows.size(), 38u);
    EXPECT_EQ(kValveCatalog.rows.size(), 4u);
    EXPECT_STREQ(kTrkStatusCatalog.rows[TrkRow::DoorSensors].caption, "Датчики открытия дверей");
    EXPECT_STREQ(kChStatusCatalog.rows[ChRow::FuelName].caption, "Название топлива");
    EXPECT_STREQ(kChStatusCatalog.rows[ChRow::LiftedColour].caption, "Цвет снятого пистолета");
    EXPECT_STREQ(kChStatusCatalog.rows[ChRow::RestingColour].caption, "Цвет неснятого пистолета");
    // Two captions differ only in a Cyrillic and a Latin letter.
    EXPECT_STREQ(kTrkStatusCatalog.rows[19].caption, "Минимальная скорость, (мл/\xD1\x81)");
    EXPECT_STREQ(kTrkStatusCatalog.rows[22].caption, "Минимальная скорость, (мл/c)");
    // Every row's group is one the view displays.
    for (const ViewCatalog* c : {&kTrkStatusCatalog, &kChStatusCatalog})
        for (const ViewRow& r : c->rows) {
            bool known = false;
            for (const ViewGroup& g : c->groups) known |= g.id == r.group;
            EXPECT_TRUE(known) << r.caption;
        }
}

TEST(RowCatalogs, HintIsTheRowsOwnElseItsCaption) {
    EXPECT_EQ(HintOfRow(kTrkStatusCatalog, 24), "Адрес");
    EXPECT_EQ(HintOfRow(kTrkStatusCatalog, 0), "Тип устройства");
    EXPECT_EQ(HintOfRow(kTrkStatusCatalog, 23), "Количество заправок со скоростью меньше минимальной");
    EXPECT_EQ(HintOfRow(kTrkStatusCatalog, 11),
              "Шаг теста табло, (мс)\r\nВлияет на время теста табло в начале каждого налива");
    EXPECT_EQ(HintOfRow(kTrkStatusCatalog, 39), "");
    EXPECT_EQ(HintOfRow(kTrkStatusCatalog, -1), "");
}

TEST(StatusPictures, DoorHalvesFollowBitsZeroAndOne) {
    using P = std::pair<int, int>;
    EXPECT_EQ(DoorSensorIcons(0), (P{Images::GreenCheck, Images::GreenCheck}));
    EXPECT_EQ(DoorSensorIcons(3), (P{Images::RedCross, Images::RedCross}));
    EXPECT_EQ(DoorSensorIcons(2), (P{Images::GreenCheck, Images::RedCross}));
    EXPECT_EQ(DoorSensorIcons(0xFD), (P{Images::RedCross, Images::GreenCheck}));  // other bits ignored

    const QImage picture = DoorSensorPicture(2);
    ASSERT_EQ(picture.size(), QSize(32, 16));
    EXPECT_EQ(picture.copy(0, 0, 16, 16), StateIcon(Images::GreenCheck));
    EXPECT_EQ(picture.copy(16, 0, 16, 16), StateIcon(Images::RedCross));
}

TEST(StatusPictures, SwatchIsAFramedFillAndWhiteIsTransparent) {
    const QImage red = NozzleSwatch(0x0000FF)  /* red in the low byte */;
    ASSERT_EQ(red.size(), QSize(16, 16));
    EXPECT_EQ(red.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(red.pixelColor(15, 15), QColor(Qt::black));
    EXPECT_EQ(red.pixelColor(8, 8), QColor(Qt::red));

    const QImage white = NozzleSwatch(0xFFFFFF);
    EXPECT_EQ(white.pixelColor(0, 8), QColor(Qt::black));
    EXPECT_EQ(white.pixelColor(8, 8).alpha(), 0);  // an empty black frame

    // The three state icons differ and keep their white marks visible.
    EXPECT_NE(StateIcon(Images::RedCross), StateIcon(Images::GreenCheck));
    EXPECT_NE(StateIcon(Images::GreenCheck), StateIcon(Images::GreyCheck));
    EXPECT_GT(StateIcon(Images::GreyCheck).pixelColor(8, 1).alpha(), 0);
}

}  // namespace
