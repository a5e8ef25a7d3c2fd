#pragma once

#include <QString>

// An INI file read and written the way the classic profile-string functions do it, on bytes:
// every character is one Latin-1 byte in the file, so all 256 byte values survive, and a
// character Latin-1 cannot hold is stored as "?".
//
// How a file is read:
// - Lines end in LF or CR LF. Blanks (space, tab, CR, VT, FF) around a line are ignored.
// - "[name]" starts a section; the name runs to the last "]" of the line. Lines before the
//   first section belong to none and are never found.
// - A line whose first character is ";" is a comment. Any other line holding "=" is a key:
//   the name is the text before the first "=", the value the text after it, both without the
//   blanks around them. A value wrapped in a matching pair of double or single quotes is read
//   without them, as the profile functions do.
// - Section and key names match without regard to case (Latin-1 letters included). When a
//   name occurs twice, the first occurrence is the one read and written.
//
// How a file is written:
// - Every line the write does not concern stays byte for byte as it was: order, comments,
//   blank lines, unknown keys and sections, line ends. New lines take the line end of the
//   file's first line (LF for a new file). The new content reaches the disk through a
//   temporary file renamed over the old one, so a reader never sees half a file, and the
//   file's permissions are kept.
// - CR, LF and NUL are dropped from names, values and section entries: they would otherwise
//   start lines of their own.
// - A value that the reading rules would change (blanks at either end, or already wrapped in
//   a pair of quotes) is stored wrapped in double quotes, so it reads back exactly as written.
// - A replaced key keeps its line's spelling and layout up to the value.
// - A section's body ends at its last line that is neither blank nor a comment; the blank
//   lines and comments after it usually introduce the next section, so they stay where they
//   are. New keys are added at the end of the body, new sections at the end of the file.
// - A write that cannot be carried out (unreadable or unwritable file, missing folder, a key
//   name that could not be read back as that key) changes nothing and returns false.
class IniFile final {
public:
    explicit IniFile(QString fileName);

    // The value of the key, or the default when the file, section or key is missing. As a
    // profile read into a buffer of bufferSize characters, the result is cut to
    // bufferSize - 1 characters.
    QString readString(const QString &section, const QString &key, const QString &defaultValue,
                       int bufferSize) const;

    // The section's lines "key=value" (as stored, blanks around name and value removed; a
    // line without "=" as it is), each followed by one NUL; comments and blank lines are left
    // out, so the result written back with writeSection gives the same section. Empty for a missing
    // file or section. As a profile read into a buffer of bufferSize characters: when the lines and
    // the closing NUL do not fit, the result is the first bufferSize - 2 characters of them.
    QString readSection(const QString &section, int bufferSize) const;

    // Stores text as the key's value, creating the file, section or key where missing.
    bool writeString(const QString &section, const QString &key, const QString &text);

    // Replaces the section's body with the entries of block ("k=v\0k2=v2\0\0": entries end
    // at the first empty one), creating the file or section where missing. An entry that
    // would read as a section header makes the whole write fail.
    bool writeSection(const QString &section, const QString &block);

private:
    QString m_fileName;
};
