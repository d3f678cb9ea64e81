// The window on a controller behind a real ser2net: a network port typed into the port panel is
// checked by a worker while the window stays live, polled
// with its round trip in the tooltip, and a converter that dies stops the poll with the reason.
#include <gtest/gtest.h>

#include <QPushButton>

#include "engine/ComThreadUnit.h"
#include "tests/support/QtTestApplication.h"
#include "tests/support/Ser2Net.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/main/StatusPanelBar.h"
#include "engine/StatusRows.h"

namespace {

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ui_net_port_test"));

TEST(NetPortWindow, TypedConverterIsCheckedPolledAndLostLikeAPulledAdapter) {
    WindowsOnSim on;
    ASSERT_TRUE(on.Sim().Started());
    Ser2Net rfc("/dev/" + on.Sim().PortName(), Ser2Net::Mode::Rfc2217);
    ASSERT_TRUE(rfc.Started()) << rfc.Error();
    TForm1& f = on.Windows().Form1;
    auto panel = [&f](int i) { return f.MainStatusBar->PanelText(i).toStdString(); };

    // Nobody listens there: the worker finds out and says why, naming the endpoint.
    const std::string refused = "rfc2217://127.0.0.1:" + std::to_string(FreeLoopbackPort());
    f.SetComPort(refused);
    ASSERT_TRUE(WaitForUi([&] { return !WorkerRunning.load() && panel(3) != "OK"; }));
    EXPECT_EQ(panel(3), "Не могу открыть " + refused);
    EXPECT_EQ(panel(4).rfind(refused.substr(10) + ": соединение отвергнуто", 0), 0u) << panel(4);

    f.SetComPort(rfc.PortName());
    ASSERT_TRUE(WaitForUi([&] { return !WorkerRunning.load() && panel(3) == "OK"; }));
    EXPECT_EQ(panel(0), rfc.PortName());

    f.PollButton->click();
    ASSERT_TRUE(WaitForUi([&] { return !f.ChStatusListView->CellText(ChRow::Price, 4).isEmpty(); }, 10000));
    const std::string tip = f.MainStatusBar->PanelToolTip(3).toStdString();
    EXPECT_EQ(tip.rfind("Сеть: время круга ", 0), 0u) << tip;
    EXPECT_NE(tip.find("\nКоманда 0: обменов "), std::string::npos) << tip;

    rfc.Kill();
    ASSERT_TRUE(WaitForUi([] { return !WorkerRunning.load(); }, 5000));
    EXPECT_FALSE(f.PollButton->isChecked());
    EXPECT_NE(panel(3).find("Не могу записать данные в COM-порт"), std::string::npos) << panel(3);
    EXPECT_EQ(panel(4).rfind("связь с 127.0.0.1:" + std::to_string(rfc.Port()) + " потеряна", 0), 0u) << panel(4);
}

}  // namespace
