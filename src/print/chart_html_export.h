#pragma once

#include <QString>

struct ChartText;

// A file name made from a chart title, confined to the book folder: separators, reserved and control
// characters become "_", the name is cut to what the file system takes, and an empty title (or one that
// names a folder, "." or "..") gives `fallback`. Then the extension.
QString ChartFileName(const QString& title, const QString& fallback, const QString& extension);

// The whole chart as one HTML page in the book folder ("<title>.htm", "tmpExcel.htm" without a title),
// in GB18030 with CR LF line ends; tells the user where it went. Returns the path, "" when the file
// could not be written (the user is told that instead).
QString ExportChartHtml(const ChartText& chart);
