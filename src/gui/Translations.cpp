#include "gui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace lv {

namespace {

QTranslator*& Installed() {
    static QTranslator* translator = nullptr;
    return translator;
}

}  // namespace

bool InstallQtTranslations(Language language, QString& error) {
    QTranslator*& installed = Installed();
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    const bool french = language == Language::French;
    QLocale::setDefault(QLocale(french ? QLocale::French : QLocale::English, french ? QLocale::France
                                                                                     : QLocale::UnitedKingdom));
    if (!french) return true;
    auto translator = new QTranslator;
    const QStringList folders{QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                              QStringLiteral("/usr/share/qt6/translations")};
    for (const QString& folder : folders) {
        if (translator->load(QStringLiteral("qtbase_fr"), folder)) {
            QCoreApplication::installTranslator(translator);
            installed = translator;
            return true;
        }
    }
    delete translator;
    error = QStringLiteral("qtbase_fr.qm not found in %1").arg(folders.join(", "));
    return false;
}

}  // namespace lv
