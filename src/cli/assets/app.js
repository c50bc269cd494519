// The page of `torvan serve`: each tab's form asks the JSON API and shows its
// figures. Every value reaches the page through textContent or a URL built
// with URLSearchParams, never as markup.
'use strict';

// ---- numbers as the text outputs print them

// printf's %.Nf. toFixed rounds a value that lies exactly halfway up (away
// from zero), printf to the even digit; toFixed(100) shows whether it does.
function fixed(x, decimals) {
  if (x === null || x === undefined) return 'undefined';
  const a = Math.abs(x);
  let s = a.toFixed(decimals);
  if (a < 1e21) {
    const exact = a.toFixed(100);
    const cut = exact.indexOf('.') + 1 + decimals;
    const down = exact.slice(0, cut).replace(/\.$/, '');
    if (/^50*$/.test(exact.slice(cut)) && /[02468]$/.test(down)) s = down;
  }
  return (x < 0 || Object.is(x, -0) ? '-' : '') + s;
}

// printf's %.Pg: P significant digits, the exponent form below 1e-4 and
// from 10^P on, trailing zeros dropped, the exponent of two digits at least.
function general(x, precision) {
  if (x === 0) return '0';
  const strip = (m) => (m.includes('.') ? m.replace(/0+$/, '').replace(/\.$/, '') : m);
  const [mantissa, exponent] = x.toExponential(precision - 1).split('e');
  const e = Number(exponent);
  if (e >= -4 && e < precision) return strip(x.toFixed(precision - 1 - e));
  const digits = String(Math.abs(e)).padStart(2, '0');
  return strip(mantissa) + 'e' + (e < 0 ? '-' : '+') + digits;
}

const probability = (x) => fixed(x, 12);

// ---- the page's pieces

function element(tag, text, attributes = {}) {
  const e = document.createElement(tag);
  if (text !== undefined) e.textContent = text;
  for (const [name, value] of Object.entries(attributes)) e.setAttribute(name, value);
  return e;
}

// Rows of "label  value", each value cell marked with its figure's name.
function fillFigures(table, rows) {
  table.replaceChildren(
    ...rows.map(([name, label, value]) => {
      const tr = element('tr');
      tr.append(element('th', label, { scope: 'row' }), element('td', value, { 'data-figure': name }));
      return tr;
    }),
  );
}

// The form's fields that are filled in, in the form's order.
function formQuery(form) {
  const q = new URLSearchParams();
  for (const field of form.elements) {
    if (!field.name || field.name === 'tab') continue;
    const v = field.value.trim();
    if (v !== '') q.append(field.name, v);
  }
  return q;
}

// The page's own address parameters that name one of the form's fields.
function fieldsOfAddress(form, address) {
  const q = new URLSearchParams();
  for (const [name, value] of address)
    if (name !== 'tab' && form.elements.namedItem(name)) q.append(name, value);
  return q;
}

function fillForm(form, q) {
  for (const [name, value] of q) {
    const field = form.elements.namedItem(name);
    if (field) field.value = value;
  }
}

// GET as JSON; the program's own message for a refusal.
async function ask(url) {
  let response;
  try {
    response = await fetch(url, { headers: { Accept: 'application/json' } });
  } catch (e) {
    return { error: 'the server could not be reached (' + e.message + ')' };
  }
  let doc = null;
  try {
    doc = await response.json();
  } catch (e) {
    return { error: 'the server answered ' + response.status + ' without a document' };
  }
  if (!response.ok) return { error: doc.error || doc.reason || 'HTTP status ' + response.status };
  return { doc };
}

// A tab's form, its status line, its error and its results, and the
// request under way (an answer to an older one is dropped).
function panelOf(name) {
  const section = document.querySelector('[data-panel="' + name + '"]');
  return {
    name,
    section,
    form: section.querySelector('form'),
    status: section.querySelector('[data-status]'),
    error: section.querySelector('[data-error]'),
    results: section.querySelector('[data-results]'),
    serial: 0,
  };
}

function showError(panel, message) {
  panel.error.textContent = message;
  panel.error.hidden = false;
  panel.results.hidden = true;
}

// Runs a panel's query: `render` fills the results from the document.
async function run(panel, api, q, render) {
  const serial = ++panel.serial;
  panel.error.hidden = true;
  panel.status.textContent = 'Computing…';
  panel.section.setAttribute('aria-busy', 'true');
  const { doc, error } = await ask(api + '?' + q);
  if (serial !== panel.serial) return;
  panel.status.textContent = '';
  panel.section.removeAttribute('aria-busy');
  if (error) {
    showError(panel, error);
    return;
  }
  render(panel, doc, q);
  panel.results.hidden = false;
}

// ---- the distribution tab

function problemLine(doc) {
  const p = doc.problem;
  const pool =
    p.minority !== undefined
      ? 'known pool of ' + p.minority + ' minority and ' + (p.ntot - p.minority) + ' majority applicants'
      : 'binomial pools, minority proportion ' + fixed(p.prop, 6) + ' in the population';
  return (
    p.ntot + ' applicants, ' + p.nhire + ' hired, effect size ' + fixed(p.esize, 6) + '; ' +
    pool + '; method ' + doc.method
  );
}

function renderDistribution(panel, doc, q) {
  const r = panel.results;
  const a = doc.adverse_impact;
  r.querySelector('[data-problem]').textContent = problemLine(doc);
  fillFigures(r.querySelector('[data-moments]'), [
    ['mean', 'mean', fixed(doc.moments.mean, 6)],
    ['variance', 'variance', fixed(doc.moments.variance, 6)],
    ['sd', 'standard deviation', fixed(doc.moments.sd, 6)],
    ['p_undefined', 'P(ratio undefined)', probability(doc.p_undefined)],
    ['no_minority_hired', '… no minority hired', probability(doc.undefined.no_minority_hired)],
    ['group_absent', '… a group absent from the pool', probability(doc.undefined.group_absent)],
  ]);
  const pct = doc.percentiles;
  r.querySelector('[data-percentiles]').replaceChildren(
    ...['p5', 'p25', 'p50', 'p75', 'p95'].map((k) => element('td', fixed(pct[k], 4), { 'data-figure': k })),
  );
  fillFigures(r.querySelector('[data-thresholds]'), [
    ['p_above_1_25', "P(AI > 1.25): minority rate below 4/5 of majority's", probability(doc.p_above_1_25)],
    ['p_below_0_8', "P(AI < 0.8): majority rate below 4/5 of minority's", probability(doc.p_below_0_8)],
  ]);
  r.querySelector('[data-alpha]').textContent = '(alpha = ' + general(a.alpha, 6) + ' for the significance tests)';
  fillFigures(r.querySelector('[data-rules]'), [
    ['four_fifths', 'four-fifths rule', probability(a.four_fifths)],
    ['four_fifths_one_person', 'four-fifths rule, even with one more minority hire', probability(a.four_fifths_one_person)],
    ['z_test', 'two-proportion Z test (pooled variance)', probability(a.z_test)],
    ['fisher_exact', 'Fisher exact test (lower tail)', probability(a.fisher_exact)],
    ['z_ir', 'impact-ratio Z test (Morris & Lobsenz)', probability(a.z_ir)],
    ['four_fifths_and_z', 'four-fifths rule and Z test', probability(a.four_fifths_and_z)],
    ['four_fifths_not_z', 'four-fifths rule but not Z test', probability(a.four_fifths_not_z)],
    ['z_not_four_fifths', 'Z test but not four-fifths rule', probability(a.z_not_four_fifths)],
    ['no_comparison', 'no comparison (none or all hired, a group absent)', probability(a.no_comparison)],
  ]);
  const skipped = [];
  if (doc.skipped_pool_weight > 0)
    skipped.push('Pools too improbable to compute: total weight ' + general(doc.skipped_pool_weight, 3) + '.');
  if (doc.skipped_outcome_weight > 0)
    skipped.push('Outcomes too improbable to keep: total weight ' + general(doc.skipped_outcome_weight, 3) + '.');
  r.querySelector('[data-skipped]').textContent = skipped.join(' ');
  showTable(r, q);
}

// The chart and the downloads need the table; when it is too large the
// chart's refusal says so, in place of both.
function showTable(r, q) {
  const chart = r.querySelector('[data-chart]');
  const chartError = r.querySelector('[data-chart-error]');
  const downloads = r.querySelector('[data-downloads]');
  const rows = new URLSearchParams(q);
  rows.set('rows', 'all');
  r.querySelector('[data-csv]').href = '/api/distribution.csv?' + q;
  r.querySelector('[data-json]').href = '/api/distribution?' + rows;
  chartError.hidden = true;
  chart.hidden = false;
  downloads.hidden = false;
  const url = '/api/distribution.svg?' + q;
  chart.onerror = async () => {
    const { error } = await ask(url);
    if (chart.getAttribute('src') !== url) return;
    chart.hidden = true;
    downloads.hidden = true;
    chartError.textContent = 'No chart and no table: ' + (error || 'the chart could not be drawn');
    chartError.hidden = false;
  };
  chart.src = url;
}

// ---- tabs and the address

const tabs = ['distribution', 'audit', 'plan'];
const panels = {
  distribution: { panel: panelOf('distribution'), api: '/api/distribution', render: renderDistribution },
};

function showTab(name) {
  for (const t of tabs) {
    document.querySelector('[data-panel="' + t + '"]').hidden = t !== name;
    const link = document.querySelector('[data-tab="' + t + '"]');
    if (t === name) link.setAttribute('aria-current', 'page');
    else link.removeAttribute('aria-current');
  }
}

// Shows the tab the address names and, when it carries that tab's
// parameters, their results: a result can be bookmarked and shared.
function followAddress() {
  const address = new URLSearchParams(location.search);
  const name = tabs.includes(address.get('tab')) ? address.get('tab') : 'distribution';
  showTab(name);
  const p = panels[name];
  if (!p) return;
  const q = fieldsOfAddress(p.panel.form, address);
  if ([...q.keys()].length === 0) return;
  fillForm(p.panel.form, q);
  run(p.panel, p.api, q, p.render);
}

function start() {
  for (const link of document.querySelectorAll('[data-tab]')) {
    link.addEventListener('click', (event) => {
      event.preventDefault();
      history.pushState(null, '', link.getAttribute('href'));
      followAddress();
    });
  }
  for (const [name, p] of Object.entries(panels)) {
    p.panel.form.addEventListener('submit', (event) => {
      event.preventDefault();
      const q = formQuery(p.panel.form);
      history.pushState(null, '', '/?tab=' + name + '&' + q);
      run(p.panel, p.api, q, p.render);
    });
  }
  window.addEventListener('popstate', followAddress);
  followAddress();
}

start();
