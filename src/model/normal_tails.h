#pragma once

// Both tails of the standard normal distribution at z, as values and as
// logarithms, for integrands that raise them to powers in the thousands.
//
// The smaller tail comes from erfc, the larger as one minus it, so each keeps
// its relative accuracy wherever it is representable. The logarithms stay
// finite and accurate far beyond the point where a tail underflows (any
// |z| < 1e150): there GSL's log_erfc takes over.
struct normal_tails {
  double cdf;   // Phi(z)
  double sf;    // 1 - Phi(z)
  double lncdf; // ln Phi(z)
  double lnsf;  // ln(1 - Phi(z))
  double lnpdf; // ln phi(z)
};

normal_tails normal_tails_at(double z);
