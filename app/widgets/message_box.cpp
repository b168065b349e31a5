#include "widgets/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QRegularExpression>
#include <QSpacerItem>

namespace {

// Room the title bar takes besides the caption: the window's icon and its
// buttons, as the common window managers draw them.
constexpr int kTitleBarExtra = 160;

// Rich text for plain text: only what would start markup is escaped, so
// "Config > RS232" reads the same in both.
QString Escaped(const QString& plain) {
    QString out = plain;
    out.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    out.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    return out;
}

}  // namespace

QString KeepPathsWhole(const QString& text) {
    // A path runs from "/" to the next blank; a full stop, comma or closing
    // bracket right after it belongs to the sentence.
    static const QRegularExpression kPath(QStringLiteral("(?<![\\w.])/[^\\s]*[^\\s.,:;)]"));
    if (!kPath.match(text).hasMatch()) return text;
    QString html;
    qsizetype from = 0;
    for (auto it = kPath.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        html += Escaped(text.mid(from, m.capturedStart() - from));
        html += QStringLiteral("<nobr>") + Escaped(m.captured()) + QStringLiteral("</nobr>");
        from = m.capturedEnd();
    }
    html += Escaped(text.mid(from));
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return QStringLiteral("<qt>") + html + QStringLiteral("</qt>");
}

void PrepareMessageBox(QMessageBox& box) {
    box.setText(KeepPathsWhole(box.text()));
    if (!box.informativeText().isEmpty()) box.setInformativeText(KeepPathsWhole(box.informativeText()));
    // The box sizes itself to its texts only: a short message under a long
    // caption would show the caption cut ("K...E").
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    const int title_width =
        QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(box.windowTitle()) + kTitleBarExtra;
    grid->addItem(new QSpacerItem(title_width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

QMessageBox::StandardButton ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        const QString& detail) {
    QMessageBox box(icon, caption, text, buttons, parent);
    if (!detail.isEmpty()) box.setInformativeText(detail);
    PrepareMessageBox(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
