#pragma once

#include <QByteArray>

namespace tolvane::bench {

// A page shaped like the modem's, only longer: a script with status values, then a form in a
// table with one row of text, an input and a link per setting. Made piece by piece, so that a
// server can stream it without holding it.
class ModemLikePage {
public:
    explicit ModemLikePage(qsizetype bytes) : m_bytes(bytes) {}

    // The next piece of about `most` bytes; empty when the page is complete.
    QByteArray next(qsizetype most)
    {
        static const QByteArray head =
            "<html><head><title>Status</title><script>var runtime_code_version=\"0.39k (Jan 1 "
            "2008)\";var lan_mac_addr=\"00:11:22:33:44:55\";</script></head><body><table>"
            "<form name=webForm method=post action=/apply.cgi>\n";
        static const QByteArray end = "</form></table></body></html>\n";
        QByteArray piece;
        if (m_written == 0)
            piece = head;
        while (!m_done && piece.size() < most) {
            const QByteArray n = QByteArray::number(m_row++);
            const QByteArray row = "<tr><td class=label>Setting " + n +
                                   "</td><td><input type=text name=f" + n + " value=\"value " + n +
                                   "\" size=20></td><td><a href=\"setup_" + n +
                                   ".stm\">edit</a></td></tr>\n";
            if (m_written + piece.size() + row.size() + end.size() > m_bytes) {
                piece += end;
                m_done = true;
                break;
            }
            piece += row;
        }
        m_written += piece.size();
        return piece;
    }

    QByteArray whole()
    {
        QByteArray page;
        for (QByteArray piece = next(65536); !piece.isEmpty(); piece = next(65536))
            page += piece;
        return page;
    }

private:
    qsizetype m_bytes;
    qsizetype m_written = 0;
    int m_row = 0;
    bool m_done = false;
};

} // namespace tolvane::bench
