#pragma once

#include <QListWidget>
#include <QString>

// The files of one folder; with a pattern (such as "*.D0C") only the names that match it,
// compared without regard to case.
class FileList : public QListWidget
{
    Q_OBJECT

public:
    FileList(const QString &pattern, QWidget *parent);

    void setPath(const QString &path);
    // Name of the selected file, or empty.
    QString selectedFileName() const;

private:
    QString m_pattern;
};
