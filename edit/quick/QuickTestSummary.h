#pragma once
// What a trigger, read or debug test leaves for the user to act on: how many reads it tried
// and how many read, how long the reads took, and a few images of reads that found nothing.
#include <QImage>
#include <QList>
#include <QString>
#include <QVector>

struct QuickTestSummary
{
    // No-read images kept per test; a long test would otherwise fill the memory.
    static constexpr int kMaxImages = 6;

    QString title;         // the test's name as the page shows it
    int attempts = 0;      // triggers fired or reads the reader made
    int good = 0;
    int noRead = 0;        // answered without a code (a stopped trigger counts neither way)
    QList<double> times;   // ms of each good read
    QList<QImage> images;  // no-read images, oldest first
    bool imagesPossible = false;  // the reader sends images at all

    bool isEmpty() const { return attempts == 0; }
    // Percent of the answered reads that read, or a negative number when none was answered.
    double rate() const;
    // Keeps an image unless kMaxImages are kept already; false when it was not kept.
    bool keepImage(const QImage &image);

    struct Bin
    {
        double from = 0;  // ms, inclusive
        double to = 0;    // ms, exclusive except for the last bin
        int count = 0;
    };
    // The read times in up to maxBins bins of equal width from the fastest to the slowest read.
    QVector<Bin> distribution(int maxBins = 8) const;
};
