// Boxes in the user's language: a shipped translation installed as a host
// would install it, and translations too long for the record's text field.
#include "flowtesting.h"

#include <QCoreApplication>
#include <QTranslator>

namespace {

using namespace flow_testing;

int argc = 1;
char programName[] = "flow_test";
char* argv[] = {programName, nullptr};

class TranslatedFlow : public FlowFixture
{
protected:
    // The records of a run, a success and a failure report under a translator.
    void expectBoxesIn(QTranslator& translator, const QByteArray& updatingText,
                       const QByteArray& succeededText, const QByteArray& failedText)
    {
        ASSERT_TRUE(QCoreApplication::installTranslator(&translator));
        host.clearRecords();
        ui.boxes.clear();
        device.sendProgress(1, 10);
        device.sendProgress(2, 100);
        device.sendProgress(3, 100);
        QCoreApplication::removeTranslator(&translator);
        EXPECT_TRUE(
            boxesAre({updating(60, 10, updatingText), succeeded(100, succeededText), failed(failedText)}));
    }

    // A translator needs an application object; made before SetUp loads the
    // plug-in, gone after TearDown.
    QCoreApplication application{argc, argv};
};

TEST_F(TranslatedFlow, GermanTranslationReachesTheRecords)
{
    QTranslator german;
    ASSERT_TRUE(german.load(QStringLiteral(UPGRADE_TRANSLATIONS_DIR "/upgradeviewmodel_de.qm")));
    expectBoxesIn(german, "Aktualisierung l\xc3\xa4uft...", "Ger\xc3\xa4t erfolgreich aktualisiert.",
                  "Aktualisierung des Ger\xc3\xa4ts fehlgeschlagen.");
}

// Answers every text of the context QObject with one fixed translation.
struct FixedTranslator : QTranslator
{
    QString translation;
    QString translate(const char* context, const char*, const char*, int) const override
    {
        return QByteArray(context) == "QObject" ? translation : QString();
    }
    bool isEmpty() const override { return false; }
};

// The text field holds 255 bytes and its zero; a longer translation is cut
// before the first UTF-8 sequence that does not fit.
TEST_F(TranslatedFlow, LongTranslationIsCutAtACharacterBoundary)
{
    const auto times = [](const char* utf8, int count) { return QByteArray(utf8).repeated(count); };
    const struct
    {
        const char* name;
        QByteArray translation;
        QByteArray text; // what the record holds before its zero
    } cases[] = {
        {"CutAtACharacter", times("a", 300), times("a", 255)},
        // Byte 256 would be the third byte of the 85th euro sign: two bytes go.
        {"CutInsideACharacter", "a" + times("\xe2\x82\xac", 100), "a" + times("\xe2\x82\xac", 84)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FixedTranslator translator;
        translator.translation = QString::fromUtf8(c.translation);
        expectBoxesIn(translator, c.text, c.text, c.text);
    }
}

} // namespace
