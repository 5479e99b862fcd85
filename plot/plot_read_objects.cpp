// The plot structure reader, part two: the objects (POINTS, CURVES, POLYGONS, TEXT, MESH, GRID,
// ISOSURFACE), their vertices, and the plot-level elements ANIMATE, FRAMESCALING and FUNCTION.
//
// Undefined data (the name FAIL, the name infinity, NaN or infinite coordinates) is not an
// error: it leaves a null vertex or a cleared defined flag.

#include <cmath>
#include <cstring>
#include <vector>

#include "plot/plot_read.h"
#include "plot/plot_read_internal.h"

namespace plotread {

namespace {

bool finite3(double x, double y, double z) { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }

PlotVertex* new_vertex(PlotRecord* plot, double x, double y, double z) {
    if (!finite3(x, y, z)) return nullptr;
    PlotVertex* v = plot_alloc<PlotVertex>(plot->area);
    v->x = x;
    v->y = y;
    v->z = z;
    return v;
}

// One vertex from a LIST of numerics or a one-dimensional HFARRAY; null when undefined.
PlotVertex* read_vertex(PlotRecord* plot, const DagWord* d) {
    bool two = plot->dimension == 2;
    std::size_t dim = static_cast<std::size_t>(plot->dimension);
    if (is_name(d, "FAIL")) return nullptr;
    if (type_of(d) == DAG_HFARRAY) {
        Hf hf;
        if (!hf_view(d, &hf) || hf.rank != 1 || hf.count != static_cast<long>(dim))
            tovu_error(two ? "vertex hfarray requires two components" : "vertex hfarray requires three components");
        if (hf.lo[0] != 1)
            tovu_error(two ? "vertex hfarray indices must be 1..2" : "vertex hfarray indices must be 1..3");
        return new_vertex(plot, hf.data[0], hf.data[1], two ? 0.0 : hf.data[2]);
    }
    if (type_of(d) != DAG_LIST) tovu_error("non-numeric vertex definition");
    Args e = list_items(d);
    if (e.n != dim) tovu_error(two ? "vertex requires two components" : "vertex requires three components");
    double c[3] = {0, 0, 0};
    bool numericAll = true, undefined = false;
    for (std::size_t i = 0; i < dim; ++i) {
        if (is_numeric(e[i])) {
            c[i] = numeric(e[i]);
        } else {
            numericAll = false;
            if (is_undefined_name(e[i])) undefined = true;
        }
    }
    if (!numericAll) {
        if (undefined) return nullptr;
        tovu_error("non-numeric vertex definition");
    }
    return new_vertex(plot, c[0], c[1], c[2]);
}

// Row r of an N x d HFARRAY as a vertex; null when a coordinate is not a number.
PlotVertex* hf_row(PlotRecord* plot, const Hf& hf, long r) {
    long d = plot->dimension;
    const double* row = hf.data + r * d;
    return new_vertex(plot, row[0], row[1], d == 3 ? row[2] : 0.0);
}

bool hf_is_nxd(const Hf& hf, long d) { return hf.rank == 2 && hf.extent(1) == d && hf.origin_one(); }

PlotVertex** copy_vertices(PlotRecord* plot, const std::vector<PlotVertex*>& v) {
    PlotVertex** table = plot_alloc<PlotVertex*>(plot->area, v.size());
    for (std::size_t i = 0; i < v.size(); ++i) table[i] = v[i];
    return table;
}

bool any_defined(PlotVertex* const* v, long n) {
    for (long i = 0; i < n; ++i)
        if (v[i]) return true;
    return false;
}

long checked_count(std::size_t n) {
    if (n > 0x7FFFFFFF) tovu_error("Out of memory");
    return static_cast<long>(n);
}

// ---- POINTS -------------------------------------------------------------------------------------

void read_points(PlotRecord* plot, Args a, const DagWord*) {
    if (a.n == 0) return;
    std::size_t np = 0;
    while (np < a.n && (type_of(a[np]) == DAG_LIST || type_of(a[np]) == DAG_HFARRAY || is_undefined_name(a[np])))
        ++np;
    std::vector<PlotVertex*> points;
    Hf hf;
    // A two-dimensional HFARRAY (by its length) is read row by row; a one-dimensional one is a
    // single vertex.
    bool firstIs2d = np > 0 && type_of(a[0]) == DAG_HFARRAY && dag_length(a[0]) == 7;
    if (firstIs2d) {
        if (np != 1) tovu_error("only one 2-D hfarray can appear in a point list");
        if (!hf_view(a[0], &hf) || !hf_is_nxd(hf, plot->dimension))
            tovu_error_fmt("POINTS hfarray must be Nx%ld, with origin 1,1", static_cast<long>(plot->dimension));
        for (long r = 0; r < hf.extent(0); ++r) points.push_back(hf_row(plot, hf, r));
    } else {
        for (std::size_t i = 0; i < np; ++i) points.push_back(read_vertex(plot, a[i]));
    }
    long count = checked_count(points.size());
    PlotVertex** table = copy_vertices(plot, points);
    if (!any_defined(table, count)) return;
    auto* data = plot_alloc<PlotPointList>(plot->area);
    data->count = static_cast<std::int32_t>(count);
    data->vertices = table;
    PlotObject* o = append_object(plot, PLOT_POINTS, data);
    box_from_vertices(&o->box, table, count);
    read_object_options(plot, o, a.from(np), count);
}

// ---- CURVES and POLYGONS --------------------------------------------------------------------------

void read_pieces(PlotRecord* plot, Args a, bool polygons) {
    std::vector<PlotVertex*> vertices;
    vertices.reserve(polygons ? 500 : 16);
    PlotPiece* first = nullptr;
    PlotPiece* last = nullptr;
    long pieces = 0;
    std::size_t k = 0;
    for (; k < a.n; ++k) {
        const DagWord* arg = a[k];
        std::size_t start = vertices.size();
        if (type_of(arg) == DAG_LIST) {
            Args items = list_items(arg);
            for (std::size_t i = 0; i < items.n; ++i) vertices.push_back(read_vertex(plot, items[i]));
        } else if (type_of(arg) == DAG_HFARRAY) {
            Hf hf;
            bool ok = hf_view(arg, &hf);
            if (polygons && (!ok || hf.rank != 2)) break;   // another rank starts the options
            if (!ok || !hf_is_nxd(hf, plot->dimension))
                tovu_error_fmt(polygons ? "POLYGON hfarray must be Nx%ld, with origin 1,1"
                                        : "hfarray in curve must be Nx%ld, with origin 1,1",
                               static_cast<long>(plot->dimension));
            for (long r = 0; r < hf.extent(0); ++r) vertices.push_back(hf_row(plot, hf, r));
        } else {
            break;
        }
        checked_count(vertices.size());
        PlotPiece* piece = plot_alloc<PlotPiece>(plot->area);
        std::size_t n = vertices.size() - start;
        piece->count = static_cast<std::int32_t>(n);
        piece->indices = plot_alloc<std::int32_t>(plot->area, n);
        for (std::size_t i = 0; i < n; ++i) piece->indices[i] = static_cast<std::int32_t>(start + i);
        if (last) last->next = piece; else first = piece;
        last = piece;
        ++pieces;
    }
    auto* data = plot_alloc<PlotCurveList>(plot->area);
    long count = checked_count(vertices.size());
    data->vertexCount = static_cast<std::int32_t>(count);
    data->pieceCount = static_cast<std::int32_t>(pieces);
    data->first = first;
    data->vertices = copy_vertices(plot, vertices);
    PlotObject* o = append_object(plot, polygons ? PLOT_POLYGONS : PLOT_CURVES, data);
    if (any_defined(data->vertices, count)) {
        box_from_vertices(&o->box, data->vertices, count);
        read_object_options(plot, o, a.from(k), pieces);
    }
}

void read_curves(PlotRecord* plot, Args a, const DagWord*) { read_pieces(plot, a, false); }
void read_polygons(PlotRecord* plot, Args a, const DagWord*) { read_pieces(plot, a, true); }

// ---- TEXT -----------------------------------------------------------------------------------------

void read_text(PlotRecord* plot, Args a, const DagWord*) {
    if (a.n < 2 || type_of(a[0]) != DAG_LIST || !is_name_or_string(a[1]))
        tovu_error("TEXT takes a location and a NAME");
    PlotVertex* location = read_vertex(plot, a[0]);
    // A text without a defined location has nowhere to go: the object is dropped.
    if (!location) return;
    auto* data = plot_alloc<PlotText>(plot->area);
    data->text = plot_strdup(plot->area, name_of(a[1]));
    data->location = location;
    PlotObject* o = append_object(plot, PLOT_TEXT, data);
    box_from_vertices(&o->box, &data->location, 1);
    std::size_t k = 2;
    for (; k < a.n && type_of(a[k]) == DAG_NAME; ++k) {
        if (is_name(a[k], "ALIGNABOVE")) data->align = (data->align | ALIGN_ABOVE) & ~ALIGN_BELOW;
        else if (is_name(a[k], "ALIGNBELOW")) data->align = (data->align | ALIGN_BELOW) & ~ALIGN_ABOVE;
        else if (is_name(a[k], "ALIGNLEFT")) data->align = (data->align | ALIGN_LEFT) & ~ALIGN_RIGHT;
        else if (is_name(a[k], "ALIGNRIGHT")) data->align = (data->align | ALIGN_RIGHT) & ~ALIGN_LEFT;
        else break;
    }
    read_object_options(plot, o, a.from(k), 1);
}

// ---- MESH -----------------------------------------------------------------------------------------

// The shape of a LIST of n >= 1 LISTs of the same length m >= 1; false for any other shape.
bool list_grid(const DagWord* d, std::size_t* n, std::size_t* m) {
    if (type_of(d) != DAG_LIST) return false;
    Args rows = list_items(d);
    if (rows.n == 0) return false;
    std::size_t cols = 0;
    for (std::size_t i = 0; i < rows.n; ++i) {
        if (type_of(rows[i]) != DAG_LIST) return false;
        std::size_t c = list_items(rows[i]).n;
        if (c == 0 || (i > 0 && c != cols)) return false;
        cols = c;
    }
    *n = rows.n;
    *m = cols;
    return true;
}

void read_mesh(PlotRecord* plot, Args a, const DagWord*) {
    if (a.n == 0) return;
    std::vector<PlotVertex*> vertices;
    long rows = 0, cols = 0;
    if (type_of(a[0]) == DAG_HFARRAY) {
        Hf hf;
        if (!hf_view(a[0], &hf) || hf.rank != 3 || hf.extent(2) != 3 || !hf.origin_one())
            tovu_error("MESH hfarrays must be NxMx3, with origin 1,1,1");
        rows = hf.extent(0);
        cols = hf.extent(1);
        for (long i = 0; i < rows * cols; ++i) {
            const double* p = hf.data + 3 * i;
            vertices.push_back(new_vertex(plot, p[0], p[1], p[2]));
        }
    } else {
        std::size_t n, m;
        if (!list_grid(a[0], &n, &m)) tovu_error("MESH must be a list of lists of vertices, or an hfarray");
        Args r = list_items(a[0]);
        for (std::size_t i = 0; i < n; ++i) {
            Args c = list_items(r[i]);
            for (std::size_t j = 0; j < m; ++j) vertices.push_back(read_vertex(plot, c[j]));
        }
        rows = checked_count(n);
        cols = checked_count(m);
    }
    long count = checked_count(vertices.size());
    PlotVertex** table = copy_vertices(plot, vertices);
    if (!any_defined(table, count)) return;
    auto* data = plot_alloc<PlotMeshData>(plot->area);
    data->rows = static_cast<std::int32_t>(rows);
    data->cols = static_cast<std::int32_t>(cols);
    data->vertices = table;
    PlotObject* o = append_object(plot, PLOT_MESH, data);
    box_from_vertices(&o->box, table, count);
    read_object_options(plot, o, a.from(1), count);
}

// ---- GRID -----------------------------------------------------------------------------------------

bool numeric_range(const DagWord* d, double* lo, double* hi) {
    if (type_of(d) != DAG_RANGE || dag_length(d) < 3 || !is_numeric(dag_op(d, 1)) || !is_numeric(dag_op(d, 2)))
        return false;
    *lo = numeric(dag_op(d, 1));
    *hi = numeric(dag_op(d, 2));
    return std::isfinite(*lo) && std::isfinite(*hi);
}

void read_grid(PlotRecord* plot, Args a, const DagWord*) {
    static const char* const kShape = "GRID must have two ranges, and a list of lists of values or an hfarray";
    if (a.n == 0) return;
    double x0, x1, y0, y1;
    if (a.n < 3 || !numeric_range(a[0], &x0, &x1) || !numeric_range(a[1], &y0, &y1)) tovu_error(kShape);
    if (x0 > x1 || !(y1 >= y0)) tovu_error("invalid order on ranges in GRID");
    std::vector<double> values;
    std::vector<std::uint8_t> defined;
    long rows = 0, cols = 0;
    if (type_of(a[2]) == DAG_HFARRAY) {
        Hf hf;
        if (!hf_view(a[2], &hf) || hf.rank != 2 || !hf.origin_one())
            tovu_error("MESH hfarrays must be two-dimensional, with origin 1,1");
        rows = hf.extent(0);
        cols = hf.extent(1);
        for (long i = 0; i < hf.count; ++i) {
            bool ok = std::isfinite(hf.data[i]);
            values.push_back(ok ? hf.data[i] : 0.0);
            defined.push_back(ok ? 1 : 0);
        }
    } else {
        std::size_t n, m;
        if (!list_grid(a[2], &n, &m)) tovu_error(kShape);
        Args r = list_items(a[2]);
        for (std::size_t i = 0; i < n; ++i) {
            Args c = list_items(r[i]);
            for (std::size_t j = 0; j < m; ++j) {
                if (is_numeric(c[j])) {
                    double v = numeric(c[j]);
                    bool ok = std::isfinite(v);
                    values.push_back(ok ? v : 0.0);
                    defined.push_back(ok ? 1 : 0);
                } else if (is_undefined_name(c[j])) {
                    values.push_back(0.0);
                    defined.push_back(0);
                } else {
                    tovu_error(kShape);
                }
            }
        }
        rows = checked_count(n);
        cols = checked_count(m);
    }
    long count = checked_count(values.size());
    double zlo = 0, zhi = 0;
    bool any = false;
    for (long i = 0; i < count; ++i) {
        if (!defined[i]) continue;
        if (!any || values[i] < zlo) zlo = values[i];
        if (!any || values[i] > zhi) zhi = values[i];
        any = true;
    }
    if (!any) return;
    auto* data = plot_alloc<PlotGridData>(plot->area);
    data->rows = static_cast<std::int32_t>(rows);
    data->cols = static_cast<std::int32_t>(cols);
    data->values = plot_alloc<double>(plot->area, count);
    data->defined = plot_alloc<std::uint8_t>(plot->area, count);
    for (long i = 0; i < count; ++i) {
        data->values[i] = values[i];
        data->defined[i] = defined[i];
    }
    PlotObject* o = append_object(plot, PLOT_GRID, data);
    o->box.v[0] = x0; o->box.v[1] = x1; o->box.v[2] = y0; o->box.v[3] = y1;
    o->box.v[4] = zlo; o->box.v[5] = zhi;
    read_object_options(plot, o, a.from(3), count);
}

// ---- ISOSURFACE ---------------------------------------------------------------------------------

void read_isosurface(PlotRecord* plot, Args a, const DagWord*) {
    static const char* const kShape = "ISOSURFACE must be a list of lists of lists of vertices, or an hfarray";
    if (a.n == 0 || (type_of(a[0]) != DAG_LIST && type_of(a[0]) != DAG_HFARRAY)) tovu_error(kShape);
    std::vector<PlotVertex*> vertices;
    std::vector<double> values;
    long n = 0, m = 0, l = 0;
    if (type_of(a[0]) == DAG_HFARRAY) {
        Hf hf;
        if (!hf_view(a[0], &hf) || hf.rank != 4 || hf.extent(3) != 4 || !hf.origin_one())
            tovu_error("ISOSURFACE hfarrays must be NxMxLx4, with origin 1,1,1,1");
        n = hf.extent(0);
        m = hf.extent(1);
        l = hf.extent(2);
        for (long i = 0; i < n * m * l; ++i) {
            const double* p = hf.data + 4 * i;
            PlotVertex* v = std::isfinite(p[3]) ? new_vertex(plot, p[0], p[1], p[2]) : nullptr;
            vertices.push_back(v);
            values.push_back(v ? p[3] : 0.0);
        }
    } else {
        Args planes = list_items(a[0]);
        if (planes.n == 0) tovu_error(kShape);
        std::size_t rows = 0, cols = 0;
        for (std::size_t i = 0; i < planes.n; ++i) {
            std::size_t r, c;
            if (!list_grid(planes[i], &r, &c) || (i > 0 && (r != rows || c != cols))) tovu_error(kShape);
            rows = r;
            cols = c;
        }
        for (std::size_t i = 0; i < planes.n; ++i) {
            Args r = list_items(planes[i]);
            for (std::size_t j = 0; j < rows; ++j) {
                Args c = list_items(r[j]);
                for (std::size_t k = 0; k < cols; ++k) {
                    const DagWord* e = c[k];
                    PlotVertex* v = nullptr;
                    double value = 0;
                    if (is_name(e, "FAIL")) {
                        // undefined
                    } else if (type_of(e) == DAG_LIST && list_items(e).n == 4) {
                        Args q = list_items(e);
                        bool all = is_numeric(q[0]) && is_numeric(q[1]) && is_numeric(q[2]) && is_numeric(q[3]);
                        if (all) {
                            value = numeric(q[3]);
                            if (std::isfinite(value)) v = new_vertex(plot, numeric(q[0]), numeric(q[1]), numeric(q[2]));
                        } else if (!is_undefined_name(q[3])) {
                            tovu_error(kShape);
                        }
                    } else {
                        tovu_error(kShape);
                    }
                    vertices.push_back(v);
                    values.push_back(v ? value : 0.0);
                }
            }
        }
        n = checked_count(planes.n);
        m = checked_count(rows);
        l = checked_count(cols);
    }
    long count = checked_count(vertices.size());
    bool atOrAbove = false, notAbove = false;
    for (long i = 0; i < count; ++i) {
        if (!vertices[i]) continue;
        if (values[i] >= 0) atOrAbove = true;
        if (!(values[i] > 0)) notAbove = true;
    }
    if (!(atOrAbove && notAbove)) return;
    auto* data = plot_alloc<PlotIsoData>(plot->area);
    data->n = static_cast<std::int32_t>(n);
    data->m = static_cast<std::int32_t>(m);
    data->l = static_cast<std::int32_t>(l);
    data->vertices = copy_vertices(plot, vertices);
    data->values = plot_alloc<double>(plot->area, count);
    for (long i = 0; i < count; ++i) data->values[i] = values[i];
    PlotObject* o = append_object(plot, PLOT_ISOSURFACE, data);
    box_from_vertices(&o->box, data->vertices, count);
    read_object_options(plot, o, a.from(1), count);
}

// ---- ANIMATE and FRAMESCALING -------------------------------------------------------------------

void read_animate(PlotRecord* plot, Args a, const DagWord*) {
    if (state.animateSeen) tovu_error("at most one ANIMATE structure per plot");
    state.animateSeen = true;
    struct Restore {
        PlotOptions* options = state.options;
        ObjectOptions* objectOptions = state.objectOptions;
        ~Restore() {
            state.options = options;
            state.objectOptions = objectOptions;
        }
    } restore;
    if (a.n > 0x7FFFFFFF) tovu_error("Out of memory");
    plot->frameCount = static_cast<std::int32_t>(a.n);
    if (plot->last->first) tovu_error("plots containing ANIMATE cannot contain other objects");
    for (std::size_t i = 0; i < a.n; ++i) {
        PlotFrame* frame = plot->first;
        if (i > 0) {
            frame = plot_alloc<PlotFrame>(plot->area);
            frame->prev = plot->last;
            plot->last->next = frame;
            plot->last = frame;
        }
        if (type_of(a[i]) != DAG_LIST) tovu_error("ANIMATE must contain lists of objects");
        state.options = &frame->options;
        state.objectOptions = &frame->objectOptions;
        Args entries = list_items(a[i]);
        for (std::size_t k = 0; k < entries.n; ++k) {
            const DagWord* e = entries[k];
            if (!is_function(e)) tovu_error("invalid structure");
            const char* name = function_name(e);
            Handler h = find_handler(objectTable, name);
            if (!h) h = find_handler(plotOptionTable, name);
            if (!h) h = find_handler(objectOptionTable, name);
            if (!h) tovu_error_fmt("unknown element %s in ANIMATE", name);
            h(plot, function_args(e), dag_op(e, 2));
        }
    }
}

void read_framescaling(PlotRecord* plot, Args a, const DagWord*) {
    if (a.n != 1 || type_of(a[0]) != DAG_NAME) tovu_error("FRAMESCALING takes a location and a NAME");
    if (is_name(a[0], "DEFAULT")) plot->frameScaling = FRAMES_DEFAULT;
    else if (is_name(a[0], "UNIFORM")) plot->frameScaling = FRAMES_UNIFORM;
    else if (is_name(a[0], "NONUNIFORM")) plot->frameScaling = FRAMES_NONUNIFORM;
    else tovu_error_fmt("invalid FRAMESCALING argument %s", name_of(a[0]));
}

void ignore_element(PlotRecord*, Args, const DagWord*) {}

}  // namespace

const Entry plotLevelTable[] = {
    {"ANIMATE", read_animate}, {"FUNCTION", ignore_element}, {"FRAMESCALING", read_framescaling},
    {nullptr, nullptr}};

const Entry objectTable[] = {
    {"CURVES", read_curves}, {"GRID", read_grid},     {"ISOSURFACE", read_isosurface},
    {"MESH", read_mesh},     {"POINTS", read_points}, {"POLYGONS", read_polygons},
    {"TEXT", read_text},     {nullptr, nullptr}};

PlotObject* append_object(PlotRecord* plot, std::int32_t kind, void* data) {
    PlotObject* o = plot_alloc<PlotObject>(plot->area);
    o->kind = kind;
    o->data = data;
    PlotFrame* f = plot->last;
    if (f->last) f->last->next = o; else f->first = o;
    f->last = o;
    return o;
}

void box_from_vertices(PlotBBox* box, PlotVertex* const* vertices, long n) {
    bool any = false;
    for (long i = 0; i < n; ++i) {
        const PlotVertex* v = vertices[i];
        if (!v) continue;
        double c[3] = {v->x, v->y, v->z};
        for (int a = 0; a < 3; ++a) {
            if (!any || c[a] < box->v[2 * a]) box->v[2 * a] = c[a];
            if (!any || c[a] > box->v[2 * a + 1]) box->v[2 * a + 1] = c[a];
        }
        any = true;
    }
}

}  // namespace plotread
