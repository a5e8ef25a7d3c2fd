#pragma once

#include <QIcon>
#include <QWidget>

class QLabel;

// The INI access control: reads and writes keys and whole sections of INI files for its host.
// Hosts call it late-bound; the dispatch identifiers below are the contract with them. The
// control keeps no state between calls and reports no failure: a missing value reads as
// "[NOT FOUND]", a write that cannot be carried out changes nothing.
class INITool final : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("ProgId", "Quirebox.INITool")
    Q_CLASSINFO("Library", "Quirebox")
    Q_CLASSINFO("DispId.GetFromINI", "0x60030000")
    Q_CLASSINFO("DispId.WriteToINI", "0x60030001")
    Q_CLASSINFO("DispId.WriteToINISection", "0x60030002")
    Q_CLASSINFO("DispId.GetINISection", "0x60030003")
    Q_CLASSINFO("DispId.AboutBox", "-552")

public:
    explicit INITool(QWidget *parent = nullptr);

    // The key's value (at most 253 characters), or "[NOT FOUND]".
    Q_INVOKABLE QString GetFromINI(const QString &SectionName, const QString &KeyName,
                                   const QString &FileName);
    // The value comes first, before the section and the key.
    Q_INVOKABLE void WriteToINI(const QString &Text, const QString &SectionName,
                                const QString &KeyName, const QString &FileName);
    // KeyName names the section; Text is "key=value\0key2=value2\0\0".
    Q_INVOKABLE void WriteToINISection(const QString &Text, const QString &KeyName,
                                       const QString &FileName);
    // The section's "key=value" lines, each followed by one NUL (at most 252 characters when
    // the section is larger); empty for a missing section or file.
    Q_INVOKABLE QString GetINISection(const QString &SectionName, const QString &FileName);
    // The control's about window, modal; returns when the user closes it.
    Q_INVOKABLE void AboutBox();

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showImage();

    QIcon m_icon;
    QLabel *Image1;
};
