#include "Form1.h"
#include "Form1View.h"
#include "common/Pause.h"
#include "common/ProcessState.h"
#include "modem/ModemBrowser.h"
#include "modem/ModemLog.h"
#include "platform/ProgramEnd.h"
#include "registry/ResultReport.h"

namespace tolvane {

namespace {

constexpr const char* UserName = "root";
constexpr const char* RefusedMark = "Incorrect Password";
constexpr const char* RefusedMessage = "Login Password Incorrect..";
constexpr const char* SentAwayMessage = "The login page would send the password to another "
                                        "address than the modem's; nothing was sent.";

} // namespace

void Form1::LoginHtml()
{
    m_browser.Navigate(QString::fromStdString(LoginUrl));
    Pause(5000);

    // Only the inputs in front of the first submit input are filled: the walk ends with its click.
    const ElementCollection all = m_browser.Document().All();
    const int length = all.Length();
    for (int i = 0; i < length; ++i) {
        HtmlElement element = all(i);
        if (element.tagName().toUpper() != u"INPUT")
            continue;
        const QString type = element.Type();
        if (type == u"text" || type == u"password") {
            const QString name = element.Name();
            if (name == u"username")
                element.setValue(QString::fromLatin1(UserName));
            else if (name == u"pws")
                element.setValue(QString::fromStdString(m_state.runOptions.Password));
        } else if (type == u"submit") {
            element.Click();
            if (!m_browser.refusal().isEmpty())
                setCaption(Control::Label1, SentAwayMessage);
            return;
        }
    }
}

void Form1::LoginMachine()
{
    for (;;) {
        LoginHtml();
        Pause(3000);
        setCaption(Control::CheckFirmwareText,
                   m_browser.Document().documentElement().outerHTML().toStdString());
        Pause(1500);
        if (control(Control::CheckFirmwareText).caption.find(RefusedMark) == std::string::npos)
            return;

        qCInfo(lcModem) << "the modem refused the password";
        if (m_state.runOptions.Silent) {
            m_report.reportFailure(RefusedMessage);
            m_programEnd.endNow();
        }
        LoginDone = false;
        setVisible(Control::Frame1, false);
        setVisible(Control::Frame2, true);
        setCaption(Control::txtPassword, "");
        m_view.setFocus(Control::txtPassword);
        do {
            Pause(2000);
        } while (!LoginDone);
    }
}

void Form1::Command3_Click()
{
    m_state.runOptions.Password = control(Control::txtPassword).caption;
    setVisible(Control::Frame1, true);
    setVisible(Control::Frame2, false);
    LoginDone = true;
}

} // namespace tolvane
