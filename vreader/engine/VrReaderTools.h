#pragma once
// The reader's own tools besides self-learning: the read test and debug test with their
// settings ("ORTSET", "CCFBML"), monitoring ("SCNMTR", "SCNMTG") and the focus search used by
// automatic and point focus. Pure helpers; the engine keeps the state.
#include "VcResultFrames.h"
#include "VrCommandTable.h"

#include <QImage>
#include <QList>
#include <QRect>

#include <functional>

namespace VrReaderTools {

// "CCFBML" "<a>A<n>B<l>C": a = 1 the level applies to every read; n the number of reads of a
// debug test (0: until stopped); l the matching level 0..100, the least quality score a code
// needs to count.
struct Match
{
    bool everyRead = false;
    int count = 0;
    int level = 0;
};
bool parseMatch(const QByteArray &value, Match *out);

// "ORTSET" "<m>A<t>B": m = 0 the read test reads at the reader's read interval, 1 every t ms,
// 2 each read with the next enabled configuration set in turn.
struct ReadTest
{
    int mode = 0;
    int offsetMs = 0;
};
bool parseReadTest(const QByteArray &value, ReadTest *out);

enum TestMode { NoTest = 0, DebugTest = 1, ReadRateTest = 2 };

struct TestRun
{
    TestMode mode = NoTest;
    int reads = 0;
    int good = 0;
    int limit = 0;     // reads of a debug test; 0 until stopped
    int level = 0;
    ReadTest settings;
    double rate() const { return reads ? 100.0 * good / reads : 0.0; }
};

// "TESQST": compact JSON {"test":mode,"reads":n,"good":m,"rate":"93.33","level":l}.
QByteArray state(const TestRun &run);

// A test-result frame: 02 02, eight hex digits of the frame's size, one text record with the
// test items before the barcode items.
QByteArray testFrame(const VcResult &result, bool ok, const TestRun &run, const VcSender &sender,
                     quint32 seq, quint64 read);

// A read passes the matching level when every code it reports reaches it.
bool meetsLevel(const QList<VcResult> &results, int level);

// Commands the reader adds when its pages offer the tests ("TESSEN", "TESQST", "ORTSET",
// "CCFBML") or monitoring ("SCNMTG"), and the focus commands beside "FOCAUT".
QList<VrCommand> testCommands();
QList<VrCommand> monitorCommands();
QList<VrCommand> focusCommands();

// Monitoring: reads per second of mode 1 (images and results) and 2 (results only).
int monitorIntervalMs(int mode);

// Sharpness of an 8-bit gray image inside window (the whole image when empty): mean squared
// difference of neighbouring pixels.
double sharpness(const QImage &image, const QRect &window = QRect());
// "FOCPOT" "<x>X<y>Y" in sensor pixels.
bool parsePoint(const QByteArray &value, QPoint *out);
// The focus search: positions tried coarse to fine between lo and hi; measure gives the
// sharpness at a position. Returns the sharpest position, its sharpness and the least seen.
int searchFocus(int lo, int hi, const std::function<double(int)> &measure, double *best,
                double *worst = nullptr);
// Whether a search found edges: the sharpest image clearly above the most blurred one (images
// of plain paper differ only by their noise, which is the same in every image of a search).
bool foundEdges(double best, double worst);

}  // namespace VrReaderTools
