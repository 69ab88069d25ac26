#include "StyleColors.h"

#include <QGuiApplication>
#include <QPalette>

#include <cctype>

namespace {

// The desktop scheme's colours that a stored value can name, by the index in its
// lowest byte; anything unknown falls back to the button face.
QColor SchemeColor(int index) {
    const QPalette pal = QGuiApplication::palette();
    switch (index) {
    case 1:  // desktop
    case 12: // application workspace
    case 16: // button shadow
        return pal.color(QPalette::Dark);
    case 2:  // active caption
    case 13: // highlight
    case 26: // hot light
    case 27: // gradient active caption
        return pal.color(QPalette::Highlight);
    case 3:  // inactive caption
    case 28: // gradient inactive caption
        return pal.color(QPalette::Inactive, QPalette::Highlight);
    case 4:  // menu
    case 30: // menu bar
    case 15: // button face
    case 22: // 3D light
        return pal.color(QPalette::Button);
    case 5: // window
        return pal.color(QPalette::Base);
    case 6:  // window frame
    case 21: // 3D dark shadow
        return pal.color(QPalette::Shadow);
    case 7:  // menu text
    case 8:  // window text
    case 9:  // caption text
    case 23: // info text
        return pal.color(QPalette::WindowText);
    case 10: // active border
    case 11: // inactive border
        return pal.color(QPalette::Window);
    case 14: // highlight text
        return pal.color(QPalette::HighlightedText);
    case 17: // gray text
        return pal.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return pal.color(QPalette::ButtonText);
    case 19: // inactive caption text
        return pal.color(QPalette::Inactive, QPalette::WindowText);
    case 20: // button highlight
        return pal.color(QPalette::Light);
    case 24: // info background
        return pal.color(QPalette::ToolTipBase);
    case 29: // menu highlight
        return pal.color(QPalette::Highlight);
    default:
        return pal.color(QPalette::Button);
    }
}

} // namespace

QColor StoredToColor(qint32 value) {
    const quint32 v = static_cast<quint32>(value);
    if ((v >> 24) == 0xFF)
        return SchemeColor(int(v & 0xFF));
    // Any other highest byte carries no colour information; the three colour
    // bytes still say what is meant.
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

qint32 ColorToStored(const QColor& color) {
    const QColor c = color.toRgb();
    const quint32 v = quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
    return static_cast<qint32>(v);
}

QString StoredToHex(qint32 value) {
    return QStringLiteral("%1").arg(static_cast<quint32>(value), 8, 16, QLatin1Char('0')).toUpper();
}

std::optional<qint32> HexToStored(QStringView digits) {
    if (digits.size() != 8)
        return std::nullopt;
    bool ok = false;
    const uint v = digits.toUInt(&ok, 16);
    // toUInt also accepts a sign or blanks; a stored colour has neither.
    for (QChar c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c.toLatin1())))
            ok = false;
    if (!ok)
        return std::nullopt;
    return static_cast<qint32>(static_cast<quint32>(v));
}

std::optional<qint32> ColorsEntry(const QString& colors, int n) {
    if (n < 1 || colors.size() < 8 * n)
        return std::nullopt;
    return HexToStored(QStringView(colors).mid(8 * (n - 1), 8));
}

QList<qint32> SplitColors(const QString& colors) {
    QList<qint32> result;
    for (int n = 1; 8 * n <= colors.size(); ++n)
        result << ColorsEntry(colors, n).value_or(0);
    return result;
}

QString JoinColors(const QList<qint32>& values) {
    QString text;
    for (qint32 v : values)
        text += StoredToHex(v);
    return text;
}

const QStringList& StyleEditorKinds() {
    static const QStringList kinds = {
        QStringLiteral("Button"),    QStringLiteral("Chart"),        QStringLiteral("CheckBox"),
        QStringLiteral("ComboBox"),  QStringLiteral("CustomColors"), QStringLiteral("DateTimePicker"),
        QStringLiteral("Edit"),      QStringLiteral("Form"),         QStringLiteral("Grid"),
        QStringLiteral("GroupBox"),  QStringLiteral("ListBox"),      QStringLiteral("ListView"),
        QStringLiteral("MainMenu"),  QStringLiteral("Memo"),         QStringLiteral("Navigation"),
        QStringLiteral("StatusBar"), QStringLiteral("TabControl"),   QStringLiteral("Titel")};
    return kinds;
}
