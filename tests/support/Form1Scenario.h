#pragma once

#include "common/EventHandler.h"
#include "common/Pause.h"
#include "support/Form1Rig.h"
#include "support/VirtualClock.h"

#include <QTimer>

#include <deque>
#include <string>
#include <vector>

namespace tolvane::test {

// Runs a Form1Rig's procedures as the program would run them, on test time:
//
// - every Pause waits on `clock`, a VirtualClock that moves only once the browser's page is in,
//   so a login's 9.5 s of waits take milliseconds and never race a page on a loaded machine;
// - Ctrl+V typed through the view's ClipboardKeystrokes reaches the page's focused field when the
//   view last gave WebBrowser1 the keyboard focus, as ModemBrowserWidget does on screen;
// - the password panel is answered: each time it shows, the next of the passwords given to
//   answerPasswordPanel is typed and Login pressed; with none left, Cancel is pressed (so a run
//   that is refused more often than a test expects ends instead of waiting for ever).
//
// Pair it with StandInModem (or PageServer) for the modem:
//
//     Form1Rig rig;
//     StandInModem modem;              // the stand-in on 127.0.0.1
//     Form1Scenario scenario(rig);     // after the rig: it must go first
//     rig.form.ModemAddress = modem.address();
//     rig.form.CheckFirmWareVersion();
//
// It installs the Pause clock for its lifetime, so only one can exist at a time.
class Form1Scenario final {
public:
    explicit Form1Scenario(Form1Rig& rig) : m_rig(rig)
    {
        clock.setBusy([&rig] { return rig.browser.isLoading(); });
        InstallPauseClock(&clock);
        rig.view.m_keys.m_deliver = [&rig](const std::string& clipboard) {
            const auto& focus = rig.view.m_focus;
            if (!focus.empty() && focus.back() == Control::WebBrowser1)
                rig.browser.Document().paste(QString::fromLocal8Bit(clipboard));
        };
        m_panel.setInterval(0);
        QObject::connect(&m_panel, &QTimer::timeout, [this] { answerPanel(); });
        m_panel.start();
    }
    ~Form1Scenario()
    {
        m_panel.stop();
        m_rig.view.m_keys.m_deliver = nullptr;
        InstallPauseClock(nullptr);
        // Nothing of this scenario's page loads may reach the next one.
        m_rig.browser.closeConnections();
    }
    Form1Scenario(const Form1Scenario&) = delete;
    Form1Scenario& operator=(const Form1Scenario&) = delete;

    void answerPasswordPanel(std::vector<std::string> passwords)
    {
        m_passwords.assign(passwords.begin(), passwords.end());
    }

    // One entry per showing of the password panel: what its text box held when it was shown.
    const std::vector<std::string>& panelTexts() const { return m_panelTexts; }
    // Whether Cancel was pressed on the panel.
    bool cancelled() const { return m_cancelled; }

    VirtualClock clock;

private:
    void answerPanel()
    {
        Form1& form = m_rig.form;
        const bool shown = form.control(Control::Frame2).visible &&
                           !form.control(Control::Frame1).visible && !form.LoginDone;
        if (!shown || m_cancelled)
            return;
        m_panelTexts.push_back(form.control(Control::txtPassword).caption);
        if (m_passwords.empty()) {
            m_cancelled = true;
            RunEventHandler([&form] { form.Command4_Click(); });
            return;
        }
        form.userTyped(Control::txtPassword, m_passwords.front());
        m_passwords.pop_front();
        RunEventHandler([&form] { form.Command3_Click(); });
    }

    Form1Rig& m_rig;
    QTimer m_panel;
    std::deque<std::string> m_passwords;
    std::vector<std::string> m_panelTexts;
    bool m_cancelled = false;
};

} // namespace tolvane::test
