#include "ListBox.h"

#include "Events.h"
#include "Window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>
#include <stdexcept>

namespace {
QString q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
constexpr int kIndent = 16;
constexpr std::size_t kChunk = 512;
} // namespace

struct ListRow {
  std::vector<std::string> cells;
  std::vector<std::uint8_t> types;  // per column, only as far as set
  std::vector<std::uint8_t> checks; // per column, only as far as set
  int depth = 0;
  bool folder = false;
  bool expanded = false;
};

class ListModel;
class ListView;

// Rows in display order, kept in chunks so that inserting beneath an
// expanding row does not move every later row, plus a cursor that makes
// neighbouring look-ups O(1).
class ListBoxStore {
public:
  explicit ListBoxStore(ListBox& lb) : owner(lb) {}
  ListBox& owner;
  std::vector<std::vector<std::unique_ptr<ListRow>>> chunks;
  std::size_t count = 0;
  std::size_t cacheChunk = 0, cacheStart = 0;
  int columns = 1;
  bool hierarchical = false;
  std::vector<std::string> headings;
  struct Expansion {
    int row, next, depth;
  };
  std::vector<Expansion> expansions;

  ListModel* model = nullptr;
  ListView* view = nullptr;
  int published = 0;
  bool stale = false; // rows were added or removed since the last Publish
  bool publishing = false;

  void Locate(std::size_t i)
  {
    if (cacheChunk < chunks.size() && i >= cacheStart && i < cacheStart + chunks[cacheChunk].size())
      return;
    if (cacheChunk >= chunks.size()) {
      cacheChunk = 0;
      cacheStart = 0;
    }
    if (i >= cacheStart) {
      while (i >= cacheStart + chunks[cacheChunk].size()) {
        cacheStart += chunks[cacheChunk].size();
        ++cacheChunk;
      }
    } else {
      while (i < cacheStart) {
        --cacheChunk;
        cacheStart -= chunks[cacheChunk].size();
      }
    }
  }

  ListRow* At(int row)
  {
    if (row < 0 || static_cast<std::size_t>(row) >= count)
      throw std::out_of_range("ListBox row " + std::to_string(row) + " does not exist");
    Locate(static_cast<std::size_t>(row));
    return chunks[cacheChunk][static_cast<std::size_t>(row) - cacheStart].get();
  }

  void Insert(std::size_t i, std::unique_ptr<ListRow> r)
  {
    if (chunks.empty()) {
      chunks.emplace_back();
      cacheChunk = cacheStart = 0;
    }
    if (i >= count) {
      cacheChunk = chunks.size() - 1;
      cacheStart = count - chunks.back().size();
    } else {
      Locate(i);
    }
    auto& c = chunks[cacheChunk];
    c.insert(c.begin() + static_cast<std::ptrdiff_t>(i - cacheStart), std::move(r));
    ++count;
    if (c.size() > 2 * kChunk) {
      std::vector<std::unique_ptr<ListRow>> tail;
      tail.reserve(kChunk * 2);
      for (std::size_t k = kChunk; k < c.size(); ++k)
        tail.push_back(std::move(c[k]));
      c.resize(kChunk);
      chunks.insert(chunks.begin() + static_cast<std::ptrdiff_t>(cacheChunk) + 1, std::move(tail));
    }
  }

  void Erase(std::size_t first, std::size_t n)
  {
    while (n > 0 && first < count) {
      Locate(first);
      auto& c = chunks[cacheChunk];
      const std::size_t off = first - cacheStart;
      const std::size_t k = std::min(n, c.size() - off);
      c.erase(c.begin() + static_cast<std::ptrdiff_t>(off), c.begin() + static_cast<std::ptrdiff_t>(off + k));
      count -= k;
      n -= k;
      if (c.empty())
        chunks.erase(chunks.begin() + static_cast<std::ptrdiff_t>(cacheChunk));
      cacheChunk = 0;
      cacheStart = 0;
    }
  }

  void Clear()
  {
    chunks.clear();
    count = 0;
    cacheChunk = cacheStart = 0;
  }

  void Publish();
};

class ListModel : public QAbstractTableModel {
public:
  explicit ListModel(ListBoxStore& s) : store(s) {}
  ListBoxStore& store;

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : store.published; }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : store.columns; }

  QVariant data(const QModelIndex& index, int role) const override
  {
    const int row = index.row(), col = index.column();
    if (row < 0 || static_cast<std::size_t>(row) >= store.count)
      return {};
    ListRow* r = store.At(row);
    if (role == Qt::DisplayRole)
      return col < static_cast<int>(r->cells.size()) ? q(r->cells[static_cast<std::size_t>(col)]) : QString();
    if (role == Qt::CheckStateRole && col < static_cast<int>(r->types.size()) &&
        r->types[static_cast<std::size_t>(col)] == ListBox::TypeCheckBox) {
      const bool on = col < static_cast<int>(r->checks.size()) && r->checks[static_cast<std::size_t>(col)];
      return on ? Qt::Checked : Qt::Unchecked;
    }
    return {};
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override
  {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int row = index.row(), col = index.column();
    if (row >= 0 && static_cast<std::size_t>(row) < store.count) {
      ListRow* r = store.At(row);
      if (col < static_cast<int>(r->types.size()) && r->types[static_cast<std::size_t>(col)] == ListBox::TypeCheckBox)
        f |= Qt::ItemIsUserCheckable;
    }
    return f;
  }

  bool setData(const QModelIndex& index, const QVariant& value, int role) override
  {
    if (role != Qt::CheckStateRole || static_cast<std::size_t>(index.row()) >= store.count)
      return false;
    store.owner.UserSetCheck(index.row(), index.column(), value.toInt() == Qt::Checked);
    emit dataChanged(index, index);
    return true;
  }

  QVariant headerData(int section, Qt::Orientation o, int role) const override
  {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section < static_cast<int>(store.headings.size()))
      return q(store.headings[static_cast<std::size_t>(section)]);
    return {};
  }

  void Reset(int rows)
  {
    beginResetModel();
    store.published = rows;
    endResetModel();
  }
};

class ListDelegate : public QStyledItemDelegate {
public:
  explicit ListDelegate(ListBoxStore& s) : store(s) {}
  ListBoxStore& store;

  int Indent(const QModelIndex& index) const
  {
    if (!store.hierarchical || index.column() != 0 || static_cast<std::size_t>(index.row()) >= store.count)
      return 0;
    return (store.At(index.row())->depth + 1) * kIndent;
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
  {
    if (static_cast<std::size_t>(index.row()) >= store.count)
      return;
    ListBox& lb = store.owner;
    if (lb.CellBackgroundPaint) {
      painter->save();
      painter->setClipRect(option.rect);
      painter->translate(option.rect.topLeft());
      Graphics g(*painter, lb.Width(), option.rect.height());
      const int row = index.row(), col = index.column();
      DeliverEvent([&] { lb.CellBackgroundPaint(g, row, col); });
      painter->restore();
    }
    QStyleOptionViewItem o(option);
    const int indent = Indent(index);
    if (indent > 0) {
      ListRow* r = store.At(index.row());
      if (r->folder) {
        const int x = option.rect.left() + r->depth * kIndent + 4;
        const int cy = option.rect.center().y();
        QPolygon tri;
        if (r->expanded)
          tri << QPoint(x, cy - 3) << QPoint(x + 8, cy - 3) << QPoint(x + 4, cy + 3);
        else
          tri << QPoint(x + 1, cy - 5) << QPoint(x + 7, cy) << QPoint(x + 1, cy + 5);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(90, 90, 90));
        painter->drawPolygon(tri);
        painter->restore();
      }
      o.rect.setLeft(o.rect.left() + indent);
    }
    QStyledItemDelegate::paint(painter, o, index);
  }

  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
  {
    QStyleOptionViewItem o(option);
    o.rect.setLeft(o.rect.left() + Indent(index));
    const auto t = event->type();
    if ((t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease || t == QEvent::MouseButtonDblClick) &&
        (index.flags() & Qt::ItemIsUserCheckable)) {
      // The box flips on the press, so a reader 100 ms later sees the new
      // state however long the button is held.
      initStyleOption(&o, index);
      const QWidget* w = o.widget;
      const QRect box = (w ? w->style() : QApplication::style())->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &o, w);
      const auto* me = static_cast<QMouseEvent*>(event);
      if (me->button() == Qt::LeftButton && box.contains(me->position().toPoint())) {
        if (t == QEvent::MouseButtonPress) {
          const bool on = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
          model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        }
        return true;
      }
    }
    return QStyledItemDelegate::editorEvent(event, model, o, index);
  }
};

class ListView : public QTreeView {
public:
  explicit ListView(ListBoxStore& s) : store(s) {}
  ListBoxStore& store;

protected:
  void mousePressEvent(QMouseEvent* e) override
  {
    const QModelIndex idx = indexAt(e->position().toPoint());
    if (idx.isValid() && static_cast<std::size_t>(idx.row()) < store.count) {
      ListBox& lb = store.owner;
      const QRect r = visualRect(idx);
      const int row = idx.row(), col = idx.column();
      const int x = e->position().toPoint().x() - r.left(), y = e->position().toPoint().y() - r.top();
      bool handled = false;
      if (lb.CellClick)
        DeliverEvent([&] { handled = lb.CellClick(row, col, x, y); });
      if (handled)
        return;
      if (store.hierarchical && col == 0 && static_cast<std::size_t>(row) < store.count) {
        ListRow* lr = store.At(row);
        if (lr->folder && x >= lr->depth * kIndent && x < (lr->depth + 1) * kIndent) {
          lb.UserToggledExpand(row);
          return;
        }
      }
    }
    QTreeView::mousePressEvent(e);
  }

  void mouseDoubleClickEvent(QMouseEvent* e) override
  {
    QTreeView::mouseDoubleClickEvent(e);
    const QModelIndex idx = indexAt(e->position().toPoint());
    if (idx.isValid())
      DeliverEvent(store.owner.DoubleClick);
  }

  void resizeEvent(QResizeEvent* e) override
  {
    QTreeView::resizeEvent(e);
    store.owner.LayoutColumns();
  }
};

void ListBoxStore::Publish()
{
  stale = false;
  if (!model)
    return;
  publishing = true;
  const int scroll = view->verticalScrollBar()->value();
  model->Reset(static_cast<int>(count));
  const int sel = owner.ListIndex();
  if (sel >= 0 && sel < published)
    view->selectionModel()->select(model->index(sel, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view->verticalScrollBar()->setValue(scroll);
  publishing = false;
  owner.LayoutColumns();
}

ListBox::ListBox(Window& w, std::string name, Control* parent, int columnCount, bool hierarchical)
    : Control(w, std::move(name), parent), store_(std::make_unique<ListBoxStore>(*this))
{
  store_->columns = std::max(1, columnCount);
  store_->hierarchical = hierarchical;
  store_->headings.resize(static_cast<std::size_t>(store_->columns));

  auto* view = new ListView(*store_);
  store_->view = view;
  store_->model = new ListModel(*store_);
  store_->model->setParent(view);
  view->setModel(store_->model);
  view->setItemDelegate(new ListDelegate(*store_));
  view->setRootIsDecorated(false);
  view->setIndentation(0);
  view->setItemsExpandable(false);
  view->setUniformRowHeights(true);
  view->setSortingEnabled(false);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view->header()->setStretchLastSection(false);
  view->header()->setSectionsClickable(true);
  view->header()->setSectionsMovable(false);
  QObject::connect(view->header(), &QHeaderView::sectionClicked, [this](int col) {
    if (HeaderPressed)
      DeliverEvent([&] { HeaderPressed(col); });
  });
  QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, [this, view] {
    if (store_->publishing)
      return;
    const auto rows = view->selectionModel()->selectedRows();
    UserSelected(rows.isEmpty() ? -1 : rows.first().row());
  });
  Init(view);
  SetColumnsResizable(false);
}

ListBox::~ListBox() = default;

int ListBox::ColumnCount() const { return store_->columns; }
bool ListBox::Hierarchical() const { return store_->hierarchical; }

void ListBox::SetInitialValue(const std::string& headings)
{
  std::size_t col = 0, start = 0;
  for (std::size_t i = 0; i <= headings.size(); ++i)
    if (i == headings.size() || headings[i] == '\t') {
      if (col < store_->headings.size())
        store_->headings[col] = headings.substr(start, i - start);
      ++col;
      start = i + 1;
    }
  store_->model->headerDataChanged(Qt::Horizontal, 0, store_->columns - 1);
}

void ListBox::SetHeading(int column, const std::string& text)
{
  if (column < 0 || column >= store_->columns)
    return;
  store_->headings[static_cast<std::size_t>(column)] = text;
  store_->model->headerDataChanged(Qt::Horizontal, column, column);
}

std::string ListBox::Heading(int column) const
{
  if (column < 0 || column >= store_->columns)
    return {};
  return store_->headings[static_cast<std::size_t>(column)];
}

void ListBox::SetHasHeading(bool on) { store_->view->header()->setVisible(on); }

void ListBox::SetColumnWidths(const std::string& widths)
{
  widths_ = widths;
  LayoutColumns();
}

std::string ListBox::ColumnWidths() const { return widths_; }

int ListBox::ColumnWidth(int column) const
{
  if (store_->view->header()->isSectionHidden(column))
    return 0;
  return store_->view->header()->sectionSize(column);
}

void ListBox::SetColumnsResizable(bool on)
{
  store_->view->header()->setSectionResizeMode(on ? QHeaderView::Interactive : QHeaderView::Fixed);
}

void ListBox::LayoutColumns()
{
  const int n = store_->columns;
  std::vector<std::string> spec;
  std::size_t start = 0;
  if (!widths_.empty())
    for (std::size_t i = 0; i <= widths_.size(); ++i)
      if (i == widths_.size() || widths_[i] == ',') {
        std::string e = widths_.substr(start, i - start);
        e.erase(0, e.find_first_not_of(' '));
        e.erase(e.find_last_not_of(' ') + 1);
        spec.push_back(e);
        start = i + 1;
      }
  const int total = std::max(0, store_->view->viewport()->width());
  std::vector<int> px(static_cast<std::size_t>(n), -1);
  int used = 0, stars = 0;
  for (int c = 0; c < n; ++c) {
    const std::string e = c < static_cast<int>(spec.size()) ? spec[static_cast<std::size_t>(c)] : "*";
    if (e.empty() || e == "*") {
      ++stars;
      continue;
    }
    int v = 0;
    try {
      v = e.back() == '%' ? static_cast<int>(total * std::stod(e.substr(0, e.size() - 1)) / 100.0) : std::stoi(e);
    } catch (const std::exception&) {
      ++stars;
      continue;
    }
    px[static_cast<std::size_t>(c)] = std::max(0, v);
    used += px[static_cast<std::size_t>(c)];
  }
  const int share = stars > 0 ? std::max(0, total - used) / stars : 0;
  auto* h = store_->view->header();
  for (int c = 0; c < n; ++c) {
    int w = px[static_cast<std::size_t>(c)];
    if (w < 0)
      w = share;
    const bool hide = px[static_cast<std::size_t>(c)] == 0;
    h->setSectionHidden(c, hide);
    if (!hide)
      h->resizeSection(c, w);
  }
}

void ListBox::Insert(bool folder, const std::string& text)
{
  auto r = std::make_unique<ListRow>();
  r->cells.resize(static_cast<std::size_t>(store_->columns));
  r->cells[0] = text;
  r->folder = folder && store_->hierarchical;
  std::size_t at = store_->count;
  if (!store_->expansions.empty()) {
    auto& top = store_->expansions.back();
    at = static_cast<std::size_t>(top.next);
    r->depth = top.depth;
    for (auto& e : store_->expansions) {
      if (&e != &top && e.next >= top.next)
        ++e.next;
      if (e.row >= top.next)
        ++e.row;
    }
    ++top.next;
  }
  store_->Insert(at, std::move(r));
  lastIndex_ = static_cast<int>(at);
  if (listIndex_ >= static_cast<int>(at))
    ++listIndex_;
  Changed(true);
}

void ListBox::AddRow(const std::string& text) { Insert(false, text); }
void ListBox::AddFolder(const std::string& text) { Insert(true, text); }

void ListBox::RemoveRow(int row)
{
  ListRow* r = store_->At(row);
  std::size_t end = static_cast<std::size_t>(row) + 1;
  while (end < store_->count && store_->At(static_cast<int>(end))->depth > r->depth)
    ++end;
  const int n = static_cast<int>(end) - row;
  store_->Erase(static_cast<std::size_t>(row), static_cast<std::size_t>(n));
  Changed(true);
  if (listIndex_ >= row + n)
    listIndex_ -= n;
  else if (listIndex_ >= row)
    SetListIndex(-1);
}

void ListBox::DeleteAllRows()
{
  store_->Clear();
  lastIndex_ = -1;
  Changed(true);
  if (listIndex_ != -1)
    SetListIndex(-1);
}

int ListBox::ListCount() const { return static_cast<int>(store_->count); }

std::string ListBox::Cell(int row, int column) const
{
  ListRow* r = store_->At(row);
  if (column < 0 || column >= static_cast<int>(r->cells.size()))
    return {};
  return r->cells[static_cast<std::size_t>(column)];
}

void ListBox::SetCell(int row, int column, const std::string& text)
{
  ListRow* r = store_->At(row);
  if (column < 0 || column >= static_cast<int>(r->cells.size()))
    return;
  r->cells[static_cast<std::size_t>(column)] = text;
  Changed(false);
}

int ListBox::CellType(int row, int column) const
{
  ListRow* r = store_->At(row);
  return column >= 0 && column < static_cast<int>(r->types.size()) ? r->types[static_cast<std::size_t>(column)] : 0;
}

void ListBox::SetCellType(int row, int column, int type)
{
  ListRow* r = store_->At(row);
  if (column < 0 || column >= store_->columns)
    return;
  if (static_cast<int>(r->types.size()) <= column)
    r->types.resize(static_cast<std::size_t>(column) + 1, 0);
  r->types[static_cast<std::size_t>(column)] = static_cast<std::uint8_t>(type);
  Changed(false);
}

bool ListBox::CellCheck(int row, int column) const
{
  ListRow* r = store_->At(row);
  return column >= 0 && column < static_cast<int>(r->checks.size()) && r->checks[static_cast<std::size_t>(column)];
}

void ListBox::SetCellCheck(int row, int column, bool on)
{
  ListRow* r = store_->At(row);
  if (column < 0 || column >= store_->columns)
    return;
  if (static_cast<int>(r->checks.size()) <= column)
    r->checks.resize(static_cast<std::size_t>(column) + 1, 0);
  r->checks[static_cast<std::size_t>(column)] = on;
  Changed(false);
}

bool ListBox::RowIsFolder(int row) const { return store_->At(row)->folder; }
int ListBox::RowDepth(int row) const { return store_->At(row)->depth; }
bool ListBox::Expanded(int row) const { return store_->At(row)->expanded; }

void ListBox::SetExpanded(int row, bool on)
{
  ListRow* r = store_->At(row);
  if (!r->folder || r->expanded == on)
    return;
  r->expanded = on;
  if (on) {
    store_->expansions.push_back({row, row + 1, r->depth + 1});
    if (ExpandRow)
      DeliverEvent([&] { ExpandRow(row); });
    store_->expansions.pop_back();
    Changed(true);
    return;
  }
  std::size_t end = static_cast<std::size_t>(row) + 1;
  while (end < store_->count && store_->At(static_cast<int>(end))->depth > r->depth)
    ++end;
  const int n = static_cast<int>(end) - row - 1;
  store_->Erase(static_cast<std::size_t>(row) + 1, static_cast<std::size_t>(n));
  Changed(true);
  if (listIndex_ > row + n)
    listIndex_ -= n;
  else if (listIndex_ > row)
    SetListIndex(-1);
  if (CollapseRow)
    DeliverEvent([&] { CollapseRow(row); });
}

void ListBox::SetListIndex(int row)
{
  if (row < -1 || row >= ListCount())
    row = -1;
  const bool changed = row != listIndex_;
  listIndex_ = row;
  store_->publishing = true;
  if (row < 0 || row >= store_->published)
    store_->view->selectionModel()->clearSelection();
  else
    store_->view->selectionModel()->select(store_->model->index(row, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  store_->publishing = false;
  if (changed)
    DeliverEvent(Change);
}

void ListBox::Refresh()
{
  Changed(true);
}

void ListBox::ApplyDisplay()
{
  if (store_->stale)
    store_->Publish();
  store_->view->viewport()->update();
}

void ListBox::UserSelected(int row)
{
  if (row == listIndex_)
    return;
  listIndex_ = row;
  DeliverEvent(Change);
}

void ListBox::UserToggledExpand(int row) { SetExpanded(row, !Expanded(row)); }

void ListBox::UserSetCheck(int row, int column, bool on)
{
  ListRow* r = store_->At(row);
  if (static_cast<int>(r->checks.size()) <= column)
    r->checks.resize(static_cast<std::size_t>(column) + 1, 0);
  r->checks[static_cast<std::size_t>(column)] = on;
  if (CellAction)
    DeliverEvent([&] { CellAction(row, column); });
}

void ListBox::Changed(bool structure)
{
  store_->stale = store_->stale || structure;
  DisplayChanged();
}
