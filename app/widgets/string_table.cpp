#include "widgets/string_table.h"

#include <QStringList>

#include <kvcom/kvcom.h>

const char* ProgramString(int id) {
    switch (id) {
    case IDS_LOCK_NAME: return "KALVORE";
    case IDS_APP_RUNNING: return "Application is running!";
    case IDS_ERROR_CAPTION: return "Error";
    case IDS_RS232_FAILED: return "RS232 Connection failed.\r\nPlease select another port.";
    case IDS_APP_CAPTION: return "KALVORE";
    default: return nullptr;
    }
}

void RegisterProgramStrings() { TalsenRegisterRCStr(&ProgramString); }

QString LoadProgramString(int id) {
    QString text = QString::fromLatin1(TalsenLoadRCStr(id));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QString DocTemplateField(enum DocTemplateField field) {
    return QString::fromLatin1(kDocTemplate).split(QLatin1Char('\n')).value(field);
}

CommandText SplitCommandString(const char* text) {
    const QString s = QString::fromLatin1(text);
    const int nl = s.indexOf(QLatin1Char('\n'));
    if (nl < 0) return {s, QString()};
    return {s.left(nl), s.mid(nl + 1)};
}
