#pragma once

#include "BenchResult.h"

#include <QList>
#include <QTextStream>

// The rows as an aligned table for people and as CSV for tools.
class BenchTable
{
public:
    void add(const BenchResult& result) { rows << result; }
    const QList<BenchResult>& results() const { return rows; }

    void printTable(QTextStream& out) const;
    void printCsv(QTextStream& out) const;
    static void printRow(QTextStream& out, const BenchResult& row);
    static void printHeader(QTextStream& out);
    // Per page and size: the ratios the frame path is judged by.
    void printSummary(QTextStream& out) const;

private:
    static QStringList fields(const BenchResult& row);

    QList<BenchResult> rows;
};
