#pragma once

#include <QAbstractListModel>
#include <QString>

#include <string>
#include <string_view>
#include <vector>

// The hit list's entries: full paths as the file system's bytes, packed into large blocks so
// that a million hits stay small (about the path's length plus twelve bytes each). Display
// text is made only for the rows a view asks for.
class HitListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit HitListModel(QObject *parent = nullptr);
    ~HitListModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    int count() const { return int(m_refs.size()); }
    QString path(int row) const;
    std::string_view rawPath(int row) const;

    // Appends paths given back to back in `bytes`, each ending at the offset in `ends`. A
    // large batch handed over is kept as it is, not copied.
    void appendPacked(const std::string &bytes, const std::vector<uint32_t> &ends);
    void appendPacked(std::string &&bytes, const std::vector<uint32_t> &ends);
    void clear();

    // Keeps the first of each equal non-empty entry, in order; empty entries always stay.
    // Returns true when entries were removed. The model is reset either way, as the list is
    // refilled.
    bool removeDuplicates();

    // Bytes held for the entries (blocks and index), for the memory benchmark.
    size_t bytesUsed() const;

private:
    struct Ref {
        uint32_t block;
        uint32_t offset;
        uint32_t length;
    };
    void store(std::string_view path);

    // Paths are copied into the fill block within its capacity, so they never move; batches
    // taken over whole are blocks of their own.
    std::vector<std::string> m_blocks;
    size_t m_fillBlock = 0;
    std::vector<Ref> m_refs;
};
