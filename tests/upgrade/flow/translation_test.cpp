// Boxes in the user's language: the shipped translations installed as a host
// would install them, and translations too long for the record's text field.
#include "flowtesting.h"

#include <QCoreApplication>
#include <QTranslator>

#include <memory>

namespace {

using flow_testing::failedBox;
using flow_testing::succeededBox;
using flow_testing::updatingBox;
using testing_support::sameBytes;

// A translator needs an application object.
class TranslatedFlow : public flow_testing::FlowFixture
{
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "flow_test";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QCoreApplication>(argc, argv);
        flow_testing::FlowFixture::SetUp();
    }

    void TearDown() override
    {
        flow_testing::FlowFixture::TearDown();
        if (translator)
            QCoreApplication::removeTranslator(translator.get());
        translator.reset();
        application.reset();
    }

    void install(std::unique_ptr<QTranslator> installed)
    {
        translator = std::move(installed);
        ASSERT_TRUE(QCoreApplication::installTranslator(translator.get()));
    }

    // The records of a run, a success and a failure report.
    std::vector<QByteArray> reportBoxes()
    {
        device.sendProgress(1, 10);
        device.sendProgress(2, 100);
        device.sendProgress(3, 100);
        std::vector<QByteArray> boxes;
        for (const LCD::Structs::MessageBoxInfo& box : ui.boxes)
            boxes.push_back(testing_support::bytesOf(box));
        return boxes;
    }

    std::unique_ptr<QCoreApplication> application;
    std::unique_ptr<QTranslator> translator;
};

// ---- the shipped translations -----------------------------------------------------

struct LanguageCase
{
    std::string name;
    QString file;
    QByteArray updating;
    QByteArray succeeded;
    QByteArray failed;
};

void PrintTo(const LanguageCase& c, std::ostream* os)
{
    *os << c.name;
}

class ShippedTranslation : public TranslatedFlow, public ::testing::WithParamInterface<LanguageCase>
{
};

TEST_P(ShippedTranslation, ReachesTheRecords)
{
    auto shipped = std::make_unique<QTranslator>();
    ASSERT_TRUE(shipped->load(QStringLiteral(UPGRADE_TRANSLATIONS_DIR "/") + GetParam().file));
    install(std::move(shipped));

    const std::vector<QByteArray> boxes = reportBoxes();

    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_TRUE(sameBytes(updatingBox(60, 10, GetParam().updating), boxes[0]));
    EXPECT_TRUE(sameBytes(succeededBox(100, GetParam().succeeded), boxes[1]));
    EXPECT_TRUE(sameBytes(failedBox(GetParam().failed), boxes[2]));
}

INSTANTIATE_TEST_SUITE_P(
    Languages, ShippedTranslation,
    ::testing::Values(LanguageCase{"German", "upgradeviewmodel_de.qm", "Aktualisierung l\xc3\xa4uft...",
                                   "Ger\xc3\xa4t erfolgreich aktualisiert.",
                                   "Aktualisierung des Ger\xc3\xa4ts fehlgeschlagen."},
                      LanguageCase{"SimplifiedChinese", "upgradeviewmodel_zh_CN.qm",
                                   "\xe6\xad\xa3\xe5\x9c\xa8\xe6\x9b\xb4\xe6\x96\xb0...",
                                   "\xe8\xae\xbe\xe5\xa4\x87\xe6\x9b\xb4\xe6\x96\xb0\xe6\x88\x90\xe5\x8a\x9f\xe3\x80\x82",
                                   "\xe8\xae\xbe\xe5\xa4\x87\xe6\x9b\xb4\xe6\x96\xb0\xe5\xa4\xb1\xe8\xb4\xa5\xe3\x80\x82"}),
    flow_testing::caseName<LanguageCase>);

using UntranslatedFlow = TranslatedFlow;

TEST_F(UntranslatedFlow, KeepsTheEnglishTexts)
{
    const std::vector<QByteArray> boxes = reportBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_TRUE(sameBytes(updatingBox(60, 10), boxes[0]));
    EXPECT_TRUE(sameBytes(succeededBox(100), boxes[1]));
    EXPECT_TRUE(sameBytes(failedBox(), boxes[2]));
}

// ---- translations longer than the text field ----------------------------------------

// Answers every text of the context QObject with one fixed translation.
class FixedTranslator : public QTranslator
{
public:
    explicit FixedTranslator(QString text) : translation(std::move(text)) { }

    QString translate(const char* context, const char*, const char*, int) const override
    {
        return QByteArray(context) == "QObject" ? translation : QString();
    }

    bool isEmpty() const override { return false; }

private:
    QString translation;
};

struct LongTextCase
{
    std::string name;
    QString translation;
    QByteArray text;        // what the record holds before its zero
};

void PrintTo(const LongTextCase& c, std::ostream* os)
{
    *os << c.name;
}

class LongTranslation : public TranslatedFlow, public ::testing::WithParamInterface<LongTextCase>
{
};

TEST_P(LongTranslation, IsCutAtACharacterBoundary)
{
    install(std::make_unique<FixedTranslator>(GetParam().translation));

    const std::vector<QByteArray> boxes = reportBoxes();

    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_TRUE(sameBytes(updatingBox(60, 10, GetParam().text), boxes[0]));
    EXPECT_TRUE(sameBytes(succeededBox(100, GetParam().text), boxes[1]));
    EXPECT_TRUE(sameBytes(failedBox(GetParam().text), boxes[2]));
}

QString repeated(const char* utf8, int times)
{
    return QString::fromUtf8(utf8).repeated(times);
}

QByteArray repeatedBytes(const char* utf8, int times)
{
    return QByteArray(utf8).repeated(times);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LongTranslation,
    ::testing::Values(
        LongTextCase{"AsciiFits", repeated("a", 255), repeatedBytes("a", 255)},
        LongTextCase{"AsciiCut", repeated("a", 300), repeatedBytes("a", 255)},
        // 2-byte characters: the 128th would end at byte 256.
        LongTextCase{"TwoByteCut", repeated("\xc3\xa4", 200), repeatedBytes("\xc3\xa4", 127)},
        // 3-byte characters: 85 of them fill the 255 bytes exactly.
        LongTextCase{"ThreeByteExact", repeated("\xe2\x82\xac", 100), repeatedBytes("\xe2\x82\xac", 85)},
        LongTextCase{"ThreeByteShifted", "a" + repeated("\xe2\x82\xac", 100),
                     "a" + repeatedBytes("\xe2\x82\xac", 84)},
        LongTextCase{"FourByteCut", repeated("\xf0\x9f\x98\x80", 70), repeatedBytes("\xf0\x9f\x98\x80", 63)},
        LongTextCase{"FourByteShifted", "ab" + repeated("\xf0\x9f\x98\x80", 70),
                     "ab" + repeatedBytes("\xf0\x9f\x98\x80", 63)}),
    flow_testing::caseName<LongTextCase>);

} // namespace
