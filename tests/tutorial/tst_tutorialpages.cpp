// The tutorial's tables and page markup, without a window.

#include "tutorial/PageMarkup.h"
#include "tutorial/TextFlow.h"
#include "tutorial/TutorialPages.h"

#include <QtTest>


using namespace dimwell;

namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

/// One unit per byte; a key cap adds one on each side for its padding and border.
double unitWidth(const MarkupRun& run, std::string_view text) {
    return static_cast<double>(text.size()) + (run.kind == MarkupRun::Kind::KeyCap ? 2.0 : 0.0);
}

/// The lines as text, a key cap in [ ].
QStringList lineTexts(const std::vector<MarkupRun>& runs, const std::vector<FlowLine>& lines) {
    QStringList out;
    for (const auto& line : lines) {
        QString text;
        double end = 0.0;
        for (const auto& piece : line) {
            if (!text.isEmpty() && piece.x > end) {
                text += ' ';
            }
            const bool keyCap = runs[piece.run].kind == MarkupRun::Kind::KeyCap;
            text += keyCap ? "[" + q(piece.text) + "]" : q(piece.text);
            end = piece.x + piece.width;
        }
        out << text;
    }
    return out;
}

MarkupRun text(std::string s, bool bold = false) { return {MarkupRun::Kind::Text, std::move(s), bold, false, {}}; }
MarkupRun cap(std::string s) { return {MarkupRun::Kind::KeyCap, std::move(s), false, false, std::string(kKeyCapStyle)}; }
MarkupRun lineBreak() { return {MarkupRun::Kind::LineBreak, {}, false, false, {}}; }

} // namespace

class TutorialPagesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void markup_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("runCount");
        QTest::addColumn<QString>("plainText"); // runs joined, a line break as '|', a key cap in [ ]
        QTest::newRow("entities") << "<div>a &mdash; b &amp; &lt;c&gt; &#8230; &bogus;</div>" << true << 1
                                  << QString::fromUtf8("a \u2014 b & <c> \u2026 &bogus;");
        QTest::newRow("breaks") << "<div>one<br/><br>two</div>" << true << 4 << "one||two";
        QTest::newRow("bold and italic") << "<div><b>B<i>BI</i></b>n</div>" << true << 3 << "BBIn";
        QTest::newRow("key cap glued to text") << "<div>press <span style=\"x\">V</span>.</div>" << true << 3
                                               << "press [V].";
        QTest::newRow("blanks around") << "  <div>a</div>\n" << true << 1 << "a";
        QTest::newRow("no div") << "<p>a</p>" << false << 0 << "";
        QTest::newRow("text after div") << "<div>a</div>b" << false << 0 << "";
        QTest::newRow("broken tag") << "<div>a <b</div>" << false << 0 << "";
        QTest::newRow("unquoted attribute") << "<div style=x>a</div>" << false << 0 << "";
    }
    void markup() {
        QFETCH(QString, html);
        QFETCH(bool, valid);
        QFETCH(int, runCount);
        QFETCH(QString, plainText);
        const auto page = parsePageMarkup(html.toStdString());
        QCOMPARE(page.has_value(), valid);
        if (!page) {
            return;
        }
        QCOMPARE(static_cast<int>(page->runs.size()), runCount);
        QString joined;
        for (const auto& run : page->runs) {
            switch (run.kind) {
            case MarkupRun::Kind::Text: joined += q(run.text); break;
            case MarkupRun::Kind::KeyCap: joined += "[" + q(run.text) + "]"; break;
            case MarkupRun::Kind::LineBreak: joined += "|"; break;
            }
        }
        QCOMPARE(joined, plainText);
    }

    void flow_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("fits") << 40 << QStringList{"press [V] while holding down [Shift]."};
        // "[Shift]." is one word: the full stop never starts a line of its own.
        QTest::newRow("wraps at blanks") << 30 << QStringList{"press [V] while holding down", "[Shift]."};
        QTest::newRow("narrow") << 9 << QStringList{"press [V]", "while", "holding", "down", "[Shift]."};
        QTest::newRow("wider than the column") << 3 << QStringList{"press", "[V]", "while", "holding", "down", "[Shift]."};
    }
    void flow() {
        QFETCH(int, width);
        QFETCH(QStringList, lines);
        const std::vector<MarkupRun> runs = {text("press "), cap("V"), text("  while holding\ndown "), cap("Shift"),
                                             text(".")};
        const auto flowed = flowText(runs, width, unitWidth);
        QCOMPARE(lineTexts(runs, flowed), lines);
        for (const auto& line : flowed) {
            QCOMPARE(line.front().x, 0.0);
            if (width >= 9) { // every word fits the column
                QVERIFY(line.back().x + line.back().width <= width);
            }
        }
    }

    void flowBreaksLines() {
        const std::vector<MarkupRun> runs = {text("one "), lineBreak(), lineBreak(), text(" two"), text(" three", true)};
        const auto flowed = flowText(runs, 100, unitWidth);
        QCOMPARE(lineTexts(runs, flowed), (QStringList{"one", "", "two three"}));
        // Words of different styles share a line at their own widths.
        QCOMPARE(flowed[2][1].run, size_t{4});
        QCOMPARE(flowed[2][1].x, 4.0);
        QVERIFY(flowText({}, 100, unitWidth).empty());
    }

    void framesStayInThePageAndApart() {
        const Rect area{0, 0, kPageArea.width, kPageArea.height};
        for (const auto& page : tutorialPages()) {
            std::vector<Rect> frames{page.textFrame};
            for (const auto& picture : page.pictures) {
                frames.push_back(picture.frame);
            }
            for (size_t i = 0; i < frames.size(); ++i) {
                QVERIFY2(intersection(frames[i], area) == frames[i], std::string(page.identifier).c_str());
                for (size_t j = i + 1; j < frames.size(); ++j) {
                    QVERIFY2(!intersects(frames[i], frames[j]), std::string(page.identifier).c_str());
                }
            }
        }
        // The buttons stand below the pages.
        for (const Rect& slot : {rectOne, rectTwo, rectThree}) {
            QVERIFY(cocoaToTopLeft(slot, kTutorialWindowSize.height).y >= kPageArea.maxY());
            QVERIFY(slot.maxX() <= kTutorialWindowSize.width);
        }
    }
};

QTEST_GUILESS_MAIN(TutorialPagesTest)
#include "tst_tutorialpages.moc"
