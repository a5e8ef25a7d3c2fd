#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLineEdit;

// The page through which a window designer edits a button's caption. It works on the
// designer's selection but only ever reads and writes the first selected object's Caption.
class Styles final : public QWidget {
    Q_OBJECT
public:
    // Writes a caption to a selected object; the designer passes one that records the change
    // for undo and for the saved form. By default the object's Caption property is set.
    using CaptionWriter = std::function<void(QObject *target, const QString &caption)>;

    explicit Styles(QWidget *parent = nullptr);

    void setSelection(const QList<QObject *> &objects);
    void setCaptionWriter(CaptionWriter writer);

    // True once the caption text was edited since the selection was taken or last applied.
    bool isChanged() const { return m_changed; }
    // The first selected object gets the caption in the text box; the others keep theirs.
    void apply();

Q_SIGNALS:
    void changedStateChanged(bool changed);

private:
    void setChanged(bool changed);

    QLineEdit *txtCaption = nullptr;
    QList<QPointer<QObject>> m_selection;
    CaptionWriter m_writer;
    bool m_changed = false;
};
