#pragma once

#include <QListWidget>
#include <QString>

// A directory list in the manner of a classic directory list box: the open directory with
// its parents above it and its subdirectories below. A double-click (or Enter) on an entry
// opens that directory; path() is the open directory, not the highlighted entry.
class DirListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit DirListBox(QWidget *parent = nullptr);

    QString path() const { return m_path; }
    // Opens the directory; false (and no change) when it is none. Emits changed() when the
    // open directory differs from before.
    bool setPath(const QString &path);

    // The subdirectories of a directory, sorted by name ignoring case; hidden ones left out.
    static QStringList subdirectories(const QString &dir);

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void refill();
    void open(QListWidgetItem *item);

    QString m_path;
};
