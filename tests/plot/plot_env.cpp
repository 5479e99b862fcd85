#include "plot_env.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "tovu/errors.h"

namespace {

class PlotEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        tovu_start();
    }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new PlotEnvironment);

}  // namespace

const DagWord* plotArgs(const std::string& text) {
    const char* error = nullptr;
    Dag d = parse_text_full(text.c_str(), &error, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, false);
    if (!d) {
        ADD_FAILURE() << "does not parse: " << text << ": " << (error ? error : "");
        return nullptr;
    }
    if (dag_type(d) != DAG_FUNCTION) {
        ADD_FAILURE() << "not a call: " << text << " (type " << dag_type(d) << ")";
        return nullptr;
    }
    return dag_op(d, 2);
}

PlotRecord* readPlot(const std::string& text, int dimension, StorageArea* area, std::string* error) {
    const DagWord* args = plotArgs(text);
    if (!args) return nullptr;
    try {
        TovuHandlerGuard guard;
        return plot_read_structure(args, dimension, area);
    } catch (const TovuError& e) {
        if (error) *error = e.message;
    }
    return nullptr;
}

void PlotTest::SetUp() {
    storage_reset();
    area = storage_new(STORAGE_ALIGN8, "plot");
}

void PlotTest::TearDown() { storage_delete(area); }

std::string sinCosSurface(int n, const std::string& options) {
    std::ostringstream s;
    s << "PLOT3D(GRID(-3..3, -3..3, [";
    for (int i = 0; i < n; ++i) {
        s << (i ? "," : "") << "[";
        for (int j = 0; j < n; ++j) {
            double x = -3 + 6.0 * i / (n - 1), y = -3 + 6.0 * j / (n - 1);
            char value[32];
            std::snprintf(value, sizeof value, "%.6f", std::sin(x) * std::cos(y));
            s << (j ? "," : "") << value;
        }
        s << "]";
    }
    s << "])" << options << ");";
    return s.str();
}
