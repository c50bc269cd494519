#pragma once

#include <Eigen/Dense>

#include "model/front.h"
#include "torvan.h"

// The pieces of a design that the report and the tests share: the predictors
// as the front sees them, and the route between a composite's separation
// (model/front.h) and its esize.

// R, r and g of the options: g is the predictors' esizes (within) or their
// correlations with minority membership at the minority share (overall).
// Needs options that design_refusal() accepts.
predictor_set design_predictors(const design_options &opt);

// The hires of every problem: nhire, or round(selection_ratio ntot), at
// least 1.
int design_nhire(const design_options &opt);

// The minority share the design uses: prop, or minority / ntot.
double design_minority_share(const design_options &opt);

// A composite's esize from its separation, and back.
double design_esize(const design_options &opt, double separation);
double design_separation(const design_options &opt, double esize);

// The weights a comparison evaluates: its own, or the built-in's.
std::vector<double> comparison_weights(const design_options &opt, const design_comparison &c);
