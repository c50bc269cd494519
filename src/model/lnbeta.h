#pragma once

// ln Gamma and ln Beta of whole numbers held as doubles (arguments >= 1).
//
// These follow the classic Chebyshev-series Stirling correction (Fullerton's
// method), operation for operation, so that their bits - and with them the last
// printed digits of the report - do not depend on the C library's lgamma.
double dlngam(double n);
double dlbeta(double a, double b);
