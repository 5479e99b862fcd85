#pragma once
// Shared set-up of the plot engine tests: the expression library is brought up once, each test
// starts from a reset default area, and plot structures are written as text and parsed.

#include <gtest/gtest.h>

#include <string>

#include "plot/plot_read.h"
#include "tovu/parse_driver.h"

// The argument sequence of the PLOT or PLOT3D call in the text (a statement ending in ";").
const DagWord* plotArgs(const std::string& text);

// Reads the structure under a handler: the record, or null with the message in *error.
PlotRecord* readPlot(const std::string& text, int dimension, StorageArea* area, std::string* error);

// PLOT3D of z = sin(x) cos(y) sampled n x n over [-3, 3]^2 (six decimals), with `options`
// written after the GRID (each starting with ", ").
std::string sinCosSurface(int n, const std::string& options = "");

class PlotTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    StorageArea* area = nullptr;
};
