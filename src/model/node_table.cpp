// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/node_table.h"

#include "model/project_session.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// A whole decimal number with an optional sign, as a 64-bit integer; nothing otherwise (blanks
// included, which the library's conversions would skip).
std::optional<qint64> parseWholeNumber(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        i = 1;
    }
    if (i >= text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        // Accumulate negatively so that the smallest 64-bit value fits too.
        if (value < (std::numeric_limits<qint64>::min() + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == std::numeric_limits<qint64>::min())
            return std::nullopt;
        value = -value;
    }
    return value;
}

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case u'\v':
    case u'\f':
    case 0x0085: // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return false;
    }
}

} // namespace

QString fieldValue(const NodeData& node, NodeField field)
{
    switch (field) {
    case NodeField::name:
        return node.name;
    case NodeField::type:
        return node.type;
    case NodeField::ip:
        return node.ip;
    }
    return {};
}

QList<qint64> addressSortKey(const QString& address)
{
    QList<qint64> key;
    const QList<QStringView> pieces = QStringView(address).split(u'.', Qt::SkipEmptyParts);
    for (QStringView piece : pieces) {
        if (const std::optional<qint64> number = parseWholeNumber(piece))
            key.append(*number);
    }
    return key;
}

QList<NodeData> sortedNodes(const QList<NodeData>& nodes, NodeField sortColumn, bool ascending)
{
    const bool byAddress = sortColumn == NodeField::ip;
    // Keys are computed once per node, not once per comparison.
    QList<QString> textKeys;
    QList<QList<qint64>> addressKeys;
    if (byAddress) {
        addressKeys.reserve(nodes.size());
        for (const NodeData& node : nodes)
            addressKeys.append(addressSortKey(node.ip));
    } else {
        textKeys.reserve(nodes.size());
        for (const NodeData& node : nodes)
            textKeys.append(fieldValue(node, sortColumn).toLower());
    }
    const auto less = [&](qsizetype a, qsizetype b) {
        if (byAddress) {
            const QList<qint64>& x = addressKeys.at(a);
            const QList<qint64>& y = addressKeys.at(b);
            return std::lexicographical_compare(x.cbegin(), x.cend(), y.cbegin(), y.cend());
        }
        return QString::compare(textKeys.at(a), textKeys.at(b), Qt::CaseSensitive) < 0;
    };

    QList<qsizetype> order(nodes.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    if (ascending)
        std::stable_sort(order.begin(), order.end(), less);
    else
        std::stable_sort(order.begin(), order.end(),
                         [&](qsizetype a, qsizetype b) { return less(b, a); });

    QList<NodeData> sorted;
    sorted.reserve(nodes.size());
    for (qsizetype index : order)
        sorted.append(nodes.at(index));
    return sorted;
}

QString singleLine(const QString& text)
{
    if (std::none_of(text.cbegin(), text.cend(), isLineBreak))
        return text;
    QString line;
    line.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            continue;
        line.append(isLineBreak(c) ? QChar(u' ') : c);
    }
    return line;
}

QString nextFreeAddress(const QList<NodeData>& nodes, qint64 id)
{
    // 192.168.1.101 ... .254, then 192.168.2.1 ... .254 and so on to 192.168.255.254: identifier
    // k starts at position k - 1 (192.168.1.(k + 100) while that is valid) and the first address
    // no node holds from there on is taken, wrapping round once.
    constexpr qint64 firstSubnet = 154; // .101 ... .254
    constexpr qint64 perSubnet = 254;
    constexpr qint64 total = firstSubnet + 254 * perSubnet;
    const auto address = [](qint64 position) {
        if (position < firstSubnet)
            return u"192.168.1.%1"_s.arg(position + 101);
        const qint64 rest = position - firstSubnet;
        return u"192.168.%1.%2"_s.arg(rest / perSubnet + 2).arg(rest % perSubnet + 1);
    };
    QSet<QString> used;
    used.reserve(nodes.size());
    for (const NodeData& node : nodes)
        used.insert(node.ip);
    const qint64 start = id >= 1 ? (id - 1) % total : 0;
    for (qint64 step = 0; step < total; ++step) {
        QString candidate = address((start + step) % total);
        if (!used.contains(candidate))
            return candidate;
    }
    return address(start);
}

std::optional<qint64> addNode(ProjectSession& session, std::optional<QPointF> position)
{
    if (!session.hasRoomForIds(1, 0))
        return std::nullopt;
    session.pushUndoSnapshot();
    qint64 id = 0;
    session.document()->modify([&id, position](ProjectData& project) {
        const double n = static_cast<double>(project.nodes.size());
        id = ProjectSession::allocateNodeId(project);
        NodeData node{.id = id, .name = u"New Node"_s, .type = u"Device"_s, .scale = 1.0};
        if (position) {
            node.ip = nextFreeAddress(project.nodes, id);
            // Step past nodes already there, so that successive adds do not pile up.
            QPointF at = *position;
            const auto taken = [&project](QPointF p) {
                return std::any_of(
                    project.nodes.cbegin(), project.nodes.cend(), [p](const NodeData& other) {
                        return std::abs(other.x - p.x()) < 1.0 && std::abs(other.y - p.y()) < 1.0;
                    });
            };
            for (qsizetype tries = 0; tries <= project.nodes.size() && taken(at); ++tries)
                at += QPointF(30, 30);
            node.x = at.x();
            node.y = at.y();
        } else {
            // Unsigned past the largest identifiers, where k + 100 no longer fits.
            node.ip = u"192.168.1."_s +
                      (id >= 0 ? QString::number(quint64(id) + 100) : QString::number(id + 100));
            node.x = 200.0 + 50.0 * n;
            node.y = 200.0 + 30.0 * n;
        }
        project.nodes.append(node);
    });
    session.ensureTypeColors();
    session.setSelectedNodes({id});
    return id;
}

void NudgeBurst::nudge(ProjectSession& session, QPointF delta)
{
    const QSet<qint64> selected = session.selectedNodes();
    if (selected.isEmpty())
        return;
    const bool continues = m_last.isValid() && m_last.elapsed() < burstGapMs &&
                           session.undoStack().size() == m_undoDepth;
    if (!continues)
        session.pushUndoSnapshot();
    session.document()->modify([&](ProjectData& project) {
        for (NodeData& node : project.nodes) {
            if (selected.contains(node.id)) {
                node.x += delta.x();
                node.y += delta.y();
            }
        }
    });
    m_undoDepth = session.undoStack().size();
    m_last.start();
}

bool commitNodeEdit(ProjectSession& session, qint64 nodeId, NodeField field, const QString& value)
{
    const QList<NodeData>& nodes = session.project().nodes;
    const auto it = std::find_if(nodes.cbegin(), nodes.cend(),
                                 [nodeId](const NodeData& node) { return node.id == nodeId; });
    if (it == nodes.cend())
        return false;
    const qsizetype index = it - nodes.cbegin();
    const bool typeChanged = field == NodeField::type && it->type != value;

    session.pushUndoSnapshot();
    session.document()->modify([&](ProjectData& project) {
        NodeData& node = project.nodes[index];
        switch (field) {
        case NodeField::name:
            node.name = value;
            break;
        case NodeField::type:
            node.type = value;
            break;
        case NodeField::ip:
            node.ip = value;
            break;
        }
    });
    if (typeChanged)
        session.ensureTypeColors();
    return true;
}

} // namespace velmora
