#pragma once

#include <QComboBox>
#include <QString>

// The drives of the machine for a chooser: on Linux the roots of the mounted volumes that are
// ready. A pick of a drive that is not available (no medium, a share gone away) is refused:
// the list goes back to the drive it showed before and says so by refused().
class DriveList : public QComboBox
{
    Q_OBJECT

public:
    explicit DriveList(QWidget *parent = nullptr);

    // Reads the drives afresh, keeping the drive shown.
    void refresh();
    // The drive shown, as its root with a trailing separator.
    QString root() const;
    // Shows the drive that holds the path (added when the list lacks it), without picked().
    void showDriveOf(const QString &path);

    // True when the drive's root can be entered.
    static bool isAvailable(const QString &root);

signals:
    // The user picked an available drive.
    void picked(const QString &root);
    // The user picked a drive that is not available; the list shows the previous one again.
    void refused(const QString &root);

private:
    void onPick(int index);
    int indexOf(const QString &root);

    int m_shown = -1;
};
