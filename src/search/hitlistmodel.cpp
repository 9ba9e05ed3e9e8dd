#include "hitlistmodel.h"

#include "app/core/nativepath.h"

#include <algorithm>
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
    return std::string_view(m_blocks[r.block].data() + r.offset, r.length);
}

void HitListModel::store(std::string_view path)
{
    const size_t need = path.size();
    if (m_fillBlock >= m_blocks.size() || m_blocks[m_fillBlock].capacity() - m_blocks[m_fillBlock].size() < need) {
        m_fillBlock = m_blocks.size();
        m_blocks.emplace_back();
        m_blocks.back().reserve(std::max(kBlockSize, need));
    }
    std::string &block = m_blocks[m_fillBlock];
    m_refs.push_back(Ref{uint32_t(m_fillBlock), uint32_t(block.size()), uint32_t(need)});
    block.append(path);
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

void HitListModel::appendPacked(std::string &&bytes, const std::vector<uint32_t> &ends)
{
    // A batch that fills most of its buffer becomes a block of its own: the window then neither
    // copies the paths nor touches fresh memory for them. Small ones are copied, so that a slow
    // search's many small batches do not each keep a large buffer.
    if (ends.empty() || bytes.size() < kBlockSize / 8 || bytes.size() < bytes.capacity() / 4 * 3) {
        appendPacked(static_cast<const std::string &>(bytes), ends);
        return;
    }
    const int first = count();
    beginInsertRows(QModelIndex(), first, first + int(ends.size()) - 1);
    const uint32_t block = uint32_t(m_blocks.size());
    m_blocks.push_back(std::move(bytes));
    uint32_t start = 0;
    for (uint32_t end : ends) {
        m_refs.push_back(Ref{block, start, end - start});
        start = end;
    }
    endInsertRows();
}

void HitListModel::clear()
{
    beginResetModel();
    m_refs.clear();
    m_refs.shrink_to_fit();
    m_blocks.clear();
    m_fillBlock = 0;
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
    size_t bytes = m_refs.capacity() * sizeof(Ref);
    for (const std::string &block : m_blocks)
        bytes += block.capacity();
    return bytes;
}
