// The English translation file: it knows every text of the code, translates each one, and keeps
// what the code fills in: the printf conversions in order, Qt's %1..%n and a menu accelerator.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace tolvex {
namespace {

struct Entry {
    QString Translation;
    bool Finished = false;
};
using Catalogue = std::map<std::pair<QString, QString>, Entry>;  // (context, source)

Catalogue ReadTs(const QString& path)
{
    Catalogue catalogue;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    QString context, source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"source") {
            source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            const auto type = xml.attributes().value("type");
            Entry entry;
            entry.Finished = type.isEmpty();
            entry.Translation = xml.readElementText();
            catalogue[{context, source}] = entry;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return catalogue;
}

QStringList Matches(const QString& text, const QRegularExpression& pattern)
{
    QStringList found;
    for (auto it = pattern.globalMatch(text); it.hasNext();) found << it.next().captured(0);
    return found;
}

const QRegularExpression PrintfConversion(QStringLiteral("%[-+ #0]*[0-9]*(?:\\.[0-9]+)?[a-zA-Z]"));
const QRegularExpression QtArgument(QStringLiteral("%[1-9]"));
const QRegularExpression Accelerator(QStringLiteral("&[^&\\s]"));

const QString EnglishTs = QStringLiteral(TOLVEX_TRANSLATIONS "/tolvex_en.ts");

TEST(TranslationTest, EveryTextIsTranslatedKeepingWhatTheCodeFillsIn)
{
    const Catalogue english = ReadTs(EnglishTs);
    ASSERT_GT(english.size(), 300u);
    for (const auto& [key, entry] : english) {
        const std::string where = key.first.toStdString() + ": " + key.second.toStdString();
        EXPECT_TRUE(entry.Finished && !entry.Translation.isEmpty()) << where;
        EXPECT_EQ(Matches(entry.Translation, PrintfConversion), Matches(key.second, PrintfConversion)) << where;
        QStringList sourceArgs = Matches(key.second, QtArgument), translatedArgs = Matches(entry.Translation, QtArgument);
        sourceArgs.sort();
        translatedArgs.sort();
        EXPECT_EQ(translatedArgs, sourceArgs) << where;
        EXPECT_EQ(Matches(entry.Translation, Accelerator).size(), Matches(key.second, Accelerator).size()) << where;
        // Chinese left in a translation would show untranslated.
        EXPECT_FALSE(entry.Translation.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]")))) << where;
    }
}

TEST(TranslationTest, TheFileKnowsEveryTextOfTheCode)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fresh = dir.filePath("fresh.ts");
    QProcess lupdate;
    lupdate.start(QStringLiteral(TOLVEX_LUPDATE), {"-silent", "-locations", "none", "-tr-function-alias", "tr+=Mark",
                                                   QStringLiteral(TOLVEX_SOURCES), "-ts", fresh});
    ASSERT_TRUE(lupdate.waitForFinished(60000));
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();
    const Catalogue english = ReadTs(EnglishTs);
    const Catalogue code = ReadTs(fresh);
    ASSERT_GT(code.size(), 300u);
    for (const auto& [key, entry] : code)
        EXPECT_TRUE(english.count(key)) << "not in the translation (run the update_translations target): "
                                        << key.first.toStdString() << ": " << key.second.toStdString();
}

}  // namespace
}  // namespace tolvex
