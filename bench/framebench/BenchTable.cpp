#include "BenchTable.h"

namespace {

const QStringList columns { "engine", "page", "size", "taken/s", "new/s", "paint/s idle", "paint/s capt",
    "frame ms med", "frame ms p95", "jitter p95", "cpu %", "rss MiB", "memcpy ms", "cold memcpy", "lat p50", "lat p95", "note" };
const int widths[] = { 20, 7, 10, 8, 8, 12, 12, 12, 12, 10, 7, 8, 9, 11, 7, 7, 0 };

QString number(double value, int decimals = 1)
{
    return value < 0 ? QStringLiteral("-") : QString::number(value, 'f', decimals);
}

} // namespace

QStringList BenchTable::fields(const BenchResult& row)
{
    return { row.engine, row.page, QStringLiteral("%1x%2").arg(row.size.width()).arg(row.size.height()),
        number(row.takenPerSecond), number(row.newPerSecond), number(row.paintsUncaptured),
        number(row.paintsCaptured), number(row.renderMedianMs, 2), number(row.renderP95Ms, 2),
        number(row.jitterP95Ms, 2), number(row.cpuPercent, 0), number(row.residentMiB, 0),
        number(row.memcpyMs, 2), number(row.memcpyColdMs, 2), number(row.latencyP50Ms, 1),
        number(row.latencyP95Ms, 1), row.note };
}

void BenchTable::printHeader(QTextStream& out)
{
    for (int i = 0; i < columns.size(); ++i)
        out << columns.at(i).leftJustified(widths[i]) << ' ';
    out << '\n';
}

void BenchTable::printRow(QTextStream& out, const BenchResult& row)
{
    const QStringList values = fields(row);
    for (int i = 0; i < values.size(); ++i)
        out << values.at(i).leftJustified(widths[i]) << ' ';
    out << '\n';
    out.flush();
}

void BenchTable::printTable(QTextStream& out) const
{
    printHeader(out);
    for (const BenchResult& row : rows)
        printRow(out, row);
}

void BenchTable::printCsv(QTextStream& out) const
{
    QStringList header = columns;
    out << header.replaceInStrings(" ", "_").join(',') << '\n';
    for (const BenchResult& row : rows)
        out << fields(row).replaceInStrings(",", ";").join(',') << '\n';
}

void BenchTable::printSummary(QTextStream& out) const
{
    out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
               .arg("page", -7).arg("size", -10).arg("new/deliverable %", -18).arg("renderTo/memcpy", -16)
               .arg("renderTo/cold", -14).arg("new/s vs chromium best");
    for (const BenchResult& row : rows) {
        if (row.engine != QLatin1String("runner"))
            continue;
        // The frame timer's cadence caps the frames delivered, whatever the engine paints.
        const double deliverable = qMin(row.paintsUncaptured, 1000.0 / row.intervalMs);
        double peerBest = -1;
        for (const BenchResult& peer : rows) {
            if (peer.engine != row.engine && peer.page == row.page && peer.size == row.size)
                peerBest = qMax(peerBest, peer.newPerSecond);
        }
        out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                   .arg(row.page, -7)
                   .arg(QStringLiteral("%1x%2").arg(row.size.width()).arg(row.size.height()), -10)
                   .arg(deliverable > 0 ? number(100.0 * row.newPerSecond / deliverable, 0) : QStringLiteral("-"), -18)
                   .arg(row.memcpyMs > 0 ? number(row.renderMedianMs / row.memcpyMs, 2) : QStringLiteral("-"), -16)
                   .arg(row.memcpyColdMs > 0 ? number(row.renderMedianMs / row.memcpyColdMs, 2) : QStringLiteral("-"), -14)
                   .arg(peerBest > 0 ? number(row.newPerSecond / peerBest, 1) + "x" : QStringLiteral("-"));
    }
}
