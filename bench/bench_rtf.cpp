// Benchmarks of the formatted texts:
//
//   ms rtf_read_1mb VALUE    reading about 1 MB of RTF with 100,000 formatting runs
//                            into a document (one paragraph of 20,000 runs, then
//                            paragraphs of 1,500 runs, lists of 100 bulleted and
//                            100 numbered items and 3 x 3 tables)
//   ms rtf_write_1mb VALUE   writing that document back (the editor writes its
//                            whole text after every change)
//
// Wall-clock medians: opening a record waits for the reading.
#include "BenchSupport.h"
#include "Rtf.h"

#include <QTextDocument>
#include <QTextEdit>

#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 100000;
constexpr int kRepetitions = 3;

// RTF the way a rich-edit control stores a long pasted text: every run
// switches one attribute (bold, italic, underline, colour, size, font),
// some runs hold an umlaut as \'xx.
QString LargeRtf(int runs) {
    static const char* const switches[] = {"\\b ",         "\\b0\\i ", "\\i0\\ul ", "\\ulnone\\cf1 ",
                                           "\\cf0\\fs24 ", "\\fs20 ",  "\\f1 ",     "\\f0 "};
    QString rtf =
        QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1031{\\fonttbl{\\f0\\fswiss\\fcharset0 "
                       "Arial;}{\\f1\\froman\\fcharset0 Times New Roman;}{\\f2\\fnil\\fcharset2 "
                       "Symbol;}}\r\n{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
                       "\\viewkind4\\uc1\\pard\\f0\\fs20 ");
    rtf.reserve(runs * 11);
    int written = 0;
    auto addRuns = [&](int count) {
        for (int i = 0; i < count && written < runs; ++i, ++written) {
            rtf += QLatin1StringView(switches[written % 8]);
            rtf += written % 8 == 3 ? QStringLiteral("\\'e4 ") : QStringLiteral("w ");
        }
    };
    // One long paragraph first: the cost of a run must not grow with its paragraph.
    addRuns(20000);
    rtf += QStringLiteral("\\par\r\n");
    while (written < runs) {
        addRuns(1500);
        rtf += QStringLiteral("\\par\r\n");
        for (int k = 0; k < 100; ++k) {
            rtf += k == 0 ? QStringLiteral("\\pard{\\pntext\\f2\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf2\\pnindent0"
                                           "{\\pntxtb\\'b7}}\\fi-360\\li720 ")
                          : QStringLiteral("{\\pntext\\f2\\'b7\\tab}");
            addRuns(2);
            rtf += QStringLiteral("\\par\r\n");
        }
        for (int k = 0; k < 100; ++k) {
            rtf += k == 0 ? QStringLiteral("\\pard{\\pntext\\f0 1.\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0"
                                           "\\pnstart1\\pndec{\\pntxta.}}\\fi-360\\li720 ")
                          : QStringLiteral("{\\pntext\\f0 %1.\\tab}").arg(k + 1);
            addRuns(2);
            rtf += QStringLiteral("\\par\r\n");
        }
        rtf += QStringLiteral("\\pard ");
        for (int r = 0; r < 3; ++r) {
            rtf += QStringLiteral("\\trowd\\trgaph108\\trleft0\\cellx3000\\cellx6000\\cellx9000\r\n");
            for (int c = 0; c < 3; ++c) {
                rtf += QStringLiteral("\\pard\\intbl ");
                addRuns(2);
                rtf += QStringLiteral("\\cell ");
            }
            rtf += QStringLiteral("\\row\r\n");
        }
        rtf += QStringLiteral("\\pard ");
    }
    rtf += QStringLiteral("\\par\r\n}");
    return rtf;
}

int ReadWrite1Mb(bool verbose) {
    const QString rtf = LargeRtf(kRuns);
    std::vector<double> reads, writes, editor;
    qsizetype written = 0;
    int blocks = 0;
    for (int r = 0; r < kRepetitions; ++r) {
        QTextDocument doc;
        reads.push_back(WallMillis([&] { Rtf::Read(rtf, doc); }));
        blocks = doc.blockCount();
        writes.push_back(WallMillis([&] { written = Rtf::Write(doc).size(); }));
        if (verbose) {
            // The editor lays the text out as well; that part is Qt's.
            QTextEdit edit;
            editor.push_back(WallMillis([&] { Rtf::Read(rtf, *edit.document()); }));
        }
    }
    // a 20,000-run paragraph and 42 rounds of a paragraph, 200 list items and 9 cells
    if (blocks < 8000 || written < rtf.size() / 2) {
        std::fprintf(stderr, "rtf_read_1mb: %d paragraphs read, %lld characters written\n", blocks,
                     (long long)written);
        return 1;
    }
    std::printf("ms rtf_read_1mb %.1f\n", Median(reads));
    std::printf("ms rtf_write_1mb %.1f\n", Median(writes));
    if (verbose)
        std::printf("  %lld characters of RTF, %d paragraphs; into an editor %.1f ms\n",
                    (long long)rtf.size(), blocks, Median(editor));
    return 0;
}

const TBenchRegistrar readWrite1Mb("rtf_read_1mb", ReadWrite1Mb);

} // namespace
