#include "SettingsText.h"

#include <map>

namespace {
// Qt writes the group "Recent File List" so; an older hand may not have.
bool IsRecentSection(const QByteArray& line)
{
    return line == "[Recent%20File%20List]" || line == "[Recent File List]";
}

// 1 .. 4 for a line "FileN=...", 0 for any other.
int EntryNumber(const QByteArray& line)
{
    if (line.size() < 6 || !line.startsWith("File") || line[4] < '1' || line[4] > '4')
        return 0;
    qsizetype at = 5;
    while (at < line.size() && line[at] == ' ')
        ++at;
    return at < line.size() && line[at] == '=' ? line[4] - '0' : 0;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Qt's quoted form, with its escapes; \xHH stands for one byte.
QByteArray Unquoted(const QByteArray& value)
{
    QByteArray bytes;
    for (qsizetype i = 1; i < value.size() && value[i] != '"'; ++i) {
        if (value[i] != '\\' || i + 1 >= value.size()) {
            bytes += value[i];
            continue;
        }
        const char c = value[++i];
        if (c == 'x' && i + 2 < value.size() && HexDigit(value[i + 1]) >= 0 && HexDigit(value[i + 2]) >= 0) {
            bytes += char(HexDigit(value[i + 1]) * 16 + HexDigit(value[i + 2]));
            i += 2;
        } else {
            bytes += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        }
    }
    return bytes;
}

QByteArray ValueOf(const QByteArray& line)
{
    const QByteArray value = line.mid(line.indexOf('=') + 1).trimmed();
    if (value.startsWith('"'))
        return Unquoted(value);
    // Unquoted, a semicolon starts a comment.
    const qsizetype comment = value.indexOf(';');
    return comment < 0 ? value : value.left(comment).trimmed();
}

bool NeedsQuotes(const QByteArray& value)
{
    if (value.isEmpty() || value.front() == ' ' || value.back() == ' ')
        return true;
    for (const char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\' || c == ';' || c == ',' || c == '=')
            return true;
    return false;
}

QByteArray Written(const QByteArray& value)
{
    if (!NeedsQuotes(value))
        return value;
    QByteArray quoted = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\')
            quoted += QByteArray("\\") + c;
        else if (static_cast<unsigned char>(c) < 0x20)
            quoted += "\\x" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
        else
            quoted += c;
    }
    return quoted + '"';
}

QByteArray EntryLines(const QList<QByteArray>& entries)
{
    QByteArray lines;
    for (qsizetype i = 0; i < entries.size(); ++i)
        lines += "File" + QByteArray::number(i + 1) + '=' + Written(entries[i]) + '\n';
    return lines;
}

QByteArray WithoutCarriageReturn(const QByteArray& line) { return line.endsWith('\r') ? line.chopped(1) : line; }
} // namespace

QList<QByteArray> RecentEntriesIn(const QByteArray& text)
{
    std::map<int, QByteArray> numbered;
    bool inSection = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = WithoutCarriageReturn(raw).trimmed();
        if (line.startsWith('['))
            inSection = IsRecentSection(line);
        else if (inSection && EntryNumber(line) > 0)
            numbered[EntryNumber(line)] = ValueOf(line);
    }
    QList<QByteArray> entries;
    for (const auto& [number, value] : numbered)
        if (!value.isEmpty())
            entries << value;
    return entries;
}

QByteArray WithRecentEntries(const QByteArray& text, const QList<QByteArray>& entries)
{
    QList<QByteArray> lines = text.split('\n');
    // The text's last line has no end of line: split gives an empty last piece for one that has.
    const bool endsLine = text.isEmpty() || text.endsWith('\n');
    if (endsLine)
        lines.removeLast();
    QByteArray result;
    bool inSection = false;
    bool placed = false;
    for (const QByteArray& raw : lines) {
        const QByteArray line = WithoutCarriageReturn(raw).trimmed();
        if (line.startsWith('['))
            inSection = IsRecentSection(line);
        if (inSection && EntryNumber(line) > 0)
            continue;
        result += raw + '\n';
        if (inSection && !placed && line.startsWith('[')) {
            result += EntryLines(entries);
            placed = true;
        }
    }
    if (!endsLine && !result.isEmpty())
        result.chop(1);
    if (!placed && !entries.isEmpty()) {
        if (!result.isEmpty())
            result += result.endsWith('\n') ? "\n" : "\n\n";
        result += "[Recent%20File%20List]\n" + EntryLines(entries);
    }
    return result;
}
