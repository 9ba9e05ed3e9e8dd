#include "hitlistmodel.h"

#include "app/nativepath.h"

#include <cstring>
#include <unordered_set>

namespace {
constexpr size_t kBlockSize = 1 << 20;
}

HitListModel::HitListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

HitListModel::~HitListModel() = default;

int HitListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant HitListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return QVariant();
    // Shown readably; path() keeps the exact name for every file operation.
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return NativePath::display(path(index.row()));
    return QVariant();
}

QString HitListModel::path(int row) const
{
    const std::string_view raw = rawPath(row);
    return NativePath::decode(raw.data(), qsizetype(raw.size()));
}

std::string_view HitListModel::rawPath(int row) const
{
    const Ref &r = m_refs[size_t(row)];
    return std::string_view(m_blocks[r.block].get() + r.offset, r.length);
}

void HitListModel::store(std::string_view path)
{
    const size_t need = path.size();
    if (m_blocks.empty() || m_blockUsed + need > kBlockSize) {
        m_blocks.push_back(std::make_unique<char[]>(std::max(kBlockSize, need)));
        m_blockUsed = 0;
    }
    std::memcpy(m_blocks.back().get() + m_blockUsed, path.data(), need);
    m_refs.push_back(Ref{uint32_t(m_blocks.size() - 1), uint32_t(m_blockUsed), uint32_t(need)});
    m_blockUsed += need;
}

void HitListModel::appendPacked(const std::string &bytes, const std::vector<uint32_t> &ends)
{
    if (ends.empty())
        return;
    const int first = count();
    beginInsertRows(QModelIndex(), first, first + int(ends.size()) - 1);
    uint32_t start = 0;
    for (uint32_t end : ends) {
        store(std::string_view(bytes.data() + start, end - start));
        start = end;
    }
    endInsertRows();
}

void HitListModel::append(const QString &path)
{
    const QByteArray raw = NativePath::encode(path);
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    store(std::string_view(raw.constData(), size_t(raw.size())));
    endInsertRows();
}

void HitListModel::clear()
{
    beginResetModel();
    m_refs.clear();
    m_refs.shrink_to_fit();
    m_blocks.clear();
    m_blockUsed = 0;
    endResetModel();
}

bool HitListModel::removeDuplicates()
{
    beginResetModel();
    std::unordered_set<std::string_view> kept;
    kept.reserve(m_refs.size());
    size_t out = 0;
    for (size_t i = 0; i < m_refs.size(); ++i) {
        const std::string_view p = rawPath(int(i));
        if (!p.empty() && !kept.insert(p).second)
            continue;
        m_refs[out++] = m_refs[i];
    }
    const bool removed = out != m_refs.size();
    m_refs.resize(out);
    endResetModel();
    return removed;
}

size_t HitListModel::bytesUsed() const
{
    return m_blocks.size() * kBlockSize + m_refs.capacity() * sizeof(Ref);
}
