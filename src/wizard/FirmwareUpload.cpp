#include "Form1.h"
#include "Form1View.h"
#include "ModemPageAddresses.h"
#include "common/Pause.h"
#include "common/ProcessState.h"
#include "modem/ModemBrowser.h"
#include "modem/ModemLog.h"
#include "platform/ClipboardKeystrokes.h"
#include "platform/MessageBoxes.h"
#include "platform/ProgramEnd.h"
#include "registry/ResultReport.h"

namespace tolvane {

namespace {

// A paste that has not landed after this many tries will not land: something else holds the
// focus or the clipboard.
constexpr int MostPasteAttempts = 5;

constexpr const char* PasteFailedMessage =
    "Can not paste the firmware file into the Update Firmware Page";
constexpr const char* FieldEmptyMessage =
    "The Update Firmware Page did not take the firmware file. The upgrade is stopped.";
constexpr const char* SentAwayMessage = "The Update Firmware Page would send the firmware to "
                                        "another address than the modem's; nothing was sent.";

// Hides the window again on the way out, however the walk ends, when it was shown only for
// the paste (silent mode).
class HiddenAgain final {
public:
    HiddenAgain(Form1& form, bool silent) : m_form(form), m_silent(silent) {}
    HiddenAgain(const HiddenAgain&) = delete;
    HiddenAgain& operator=(const HiddenAgain&) = delete;
    ~HiddenAgain()
    {
        if (m_silent)
            m_form.setWindowVisible(false);
    }

private:
    Form1& m_form;
    bool m_silent;
};

} // namespace

void Form1::UpdateFirmware()
{
    const RunOptions& options = m_state.runOptions;
    const std::string page = UploadPage(ModemAddress, m_state.kernelMode);
    m_report.report(ReportValue::Firmware_Status, "Upgrading");
    m_browser.Navigate(QString::fromStdString(page));
    Pause(5000);

    // The keystroke must reach this window: in front of the others, shown and active.
    m_window.topmost = true;
    m_window.visible = true;
    m_view.windowChanged(m_window);
    m_view.activate();
    const HiddenAgain hiddenAgain(*this, options.Silent);
    Pause(1000);

    // The elements are those of the page as it is now; a click sends its form only when control
    // returns to the event loop, so later submit inputs are still walked (and the last one
    // clicked is the request that goes out).
    const HtmlDocument document = m_browser.Document();
    const ElementCollection all = document.All();
    const int length = all.Length();
    const auto uploadField = [&] {
        return document.form(QStringLiteral("webForm")).control(QStringLiteral("webUpload"));
    };
    ClipboardKeystrokes& keys = m_view.clipboardKeystrokes();
    bool clicked = false;
    for (int i = 0; i < length; ++i) {
        HtmlElement element = all(i);
        if (element.tagName().toUpper() != u"INPUT")
            continue;
        const QString type = element.Type();
        if (type == u"file" && element.Name() == u"webUpload") {
            for (int attempt = 0; uploadField().Value().isEmpty(); ++attempt) {
                if (attempt == MostPasteAttempts) {
                    // Nothing is sent; the caller sees by UploadReady that the page could not be
                    // used, and tells why.
                    qCWarning(lcModem) << "the firmware file could not be pasted into the page";
                    UploadReady = false;
                    m_uploadFailure = PasteFailedMessage;
                    return;
                }
                m_view.setFocus(Control::WebBrowser1);
                keys.clear();
                keys.setText(ImagePath);
                element.Focus();
                Pause(500);
                keys.sendPaste();
                Pause(2000);
                keys.clear();
                UploadReady = true;
            }
        }
        if (type == u"submit") {
            if (uploadField().Value().isEmpty()) {
                // The form is not sent without its file, and the upgrade has no way on from
                // here: it ends, reported, with the images removed.
                qCWarning(lcModem) << "the upgrade form's file field is empty at its submit input";
                if (!options.Silent)
                    m_view.messageBoxes().show(FieldEmptyMessage, ProgramTitle,
                                               MessageIcon::Exclamation);
                m_report.reportFailure(FieldEmptyMessage);
                DeleteFirmwareFiles();
                m_view.unload();
                m_programEnd.endNow();
            }
            element.Click();
            clicked = true;
        }
    }
    // The last click is the request that goes out; refused, it sent nothing, and the caller
    // tells why.
    if (clicked && !m_browser.refusal().isEmpty()) {
        UploadReady = false;
        m_uploadFailure = SentAwayMessage;
    }
}

} // namespace tolvane
