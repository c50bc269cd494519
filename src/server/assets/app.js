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
const fixed4 = (x) => fixed(x, 4);
const fixed6 = (x) => fixed(x, 6);
const general6 = (x) => general(x, 6);
const yesNo = (b) => (b ? 'yes' : 'no');

// The rules that flag adverse impact, by their names in the documents, as
// the text pages abbreviate and title them.
const RULES = [
  ['four_fifths', '4/5', 'four-fifths rule'],
  ['four_fifths_one_person', '4/5+1', 'four-fifths rule, even with one more minority hire'],
  ['z_test', 'Z', 'two-proportion Z test (pooled variance)'],
  ['fisher_exact', 'Fisher', 'Fisher exact test (lower tail)'],
  ['z_ir', 'Z_IR', 'impact-ratio Z test (Morris & Lobsenz)'],
  ['four_fifths_and_z', '4/5&Z', 'four-fifths rule and Z test'],
];
const ruleNamed = (name) => RULES.find(([n]) => n === name);

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

// The form's fields that are filled in, in the form's order, less those of
// a case not chosen. A group of check boxes all ticked is left out (every
// one is the default); otherwise its ticked values go as one, with commas.
function formQuery(form) {
  const q = new URLSearchParams();
  const boxes = new Map();
  for (const field of form.elements) {
    if (!field.name || field.name === 'tab' || field.matches(':disabled')) continue;
    if (field.type === 'checkbox') {
      boxes.set(field.name, [...(boxes.get(field.name) || []), field]);
      continue;
    }
    const v = field.value.trim();
    if (v !== '') q.append(field.name, v);
  }
  for (const [name, group] of boxes)
    if (!group.every((b) => b.checked))
      q.append(name, group.filter((b) => b.checked).map((b) => b.value).join(','));
  return q;
}

// The page's own address parameters that name one of the form's fields.
function fieldsOfAddress(form, address) {
  const q = new URLSearchParams();
  for (const [name, value] of address)
    if (name !== 'tab' && form.elements.namedItem(name)) q.append(name, value);
  return q;
}

// A switch (a select without a name) shows the fields of the case it names
// and disables the others', which a query then leaves out.
function showCase(form, select) {
  const prefix = select.dataset.switch + ':';
  for (const c of form.querySelectorAll('[data-case^="' + prefix + '"]')) {
    const chosen = c.dataset.case === prefix + select.value;
    c.hidden = !chosen;
    c.disabled = !chosen;
  }
}

// The switch that shows the fields named in q.
function chooseCases(form, q) {
  for (const select of form.querySelectorAll('[data-switch]')) {
    for (const option of select.options) {
      const c = form.querySelector('[data-case="' + select.dataset.switch + ':' + option.value + '"]');
      if ([...c.querySelectorAll('[name]')].some((f) => q.has(f.name))) select.value = option.value;
    }
    showCase(form, select);
  }
}

function fillForm(form, q) {
  chooseCases(form, q);
  for (const field of form.elements) {
    if (!field.name) continue;
    if (field.type === 'checkbox') {
      const asked = q.getAll(field.name).flatMap((v) => v.split(','));
      field.checked = asked.length === 0 || asked.includes(field.value);
    } else if (q.has(field.name)) {
      field.value = q.get(field.name);
    }
  }
}

// Tables go in a POST's body, a JSON object of texts: a query is limited to
// 4096 bytes, a body to BODY_LIMIT (serve_limits::body_bytes, which the
// server states in its refusal too).
const TABLES = ['events', 'groups', 'predictors', 'correlations'];
const BODY_LIMIT = 1048576;

// A query's tables, and the query without them.
function splitTables(q) {
  const options = new URLSearchParams();
  const tables = {};
  for (const [name, value] of q)
    if (TABLES.includes(name)) tables[name] = value;
    else options.append(name, value);
  return { options, tables };
}

// GET (or POST, with tables) as JSON; the program's own message for a refusal.
async function ask(url, tables = {}) {
  const init = { headers: { Accept: 'application/json' } };
  if (Object.keys(tables).length > 0) {
    init.method = 'POST';
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(tables);
    const bytes = new TextEncoder().encode(init.body).length;
    if (bytes > BODY_LIMIT)
      return { error: 'the tables take ' + bytes + ' bytes, more than the server takes (' + BODY_LIMIT + ' bytes, 1 MiB)' };
  }
  let response;
  try {
    response = await fetch(url, init);
  } catch (e) {
    return { error: 'the server could not be reached (' + e.message + ')' };
  }
  let doc = null;
  let text = '';
  try {
    text = await response.text();
    doc = JSON.parse(text);
  } catch (e) {
    return { error: 'the server answered ' + response.status + ' without a document' };
  }
  if (!response.ok) return { doc, error: doc.error || doc.reason || 'HTTP status ' + response.status };
  return { doc, text };
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
async function run(panel, url, q, render) {
  const serial = ++panel.serial;
  panel.error.hidden = true;
  panel.status.textContent = 'Computing…';
  panel.section.setAttribute('aria-busy', 'true');
  const { options, tables } = splitTables(q);
  const { doc, text, error } = await ask(url(options), tables);
  if (serial !== panel.serial) return;
  panel.status.textContent = '';
  panel.section.removeAttribute('aria-busy');
  if (error) showError(panel, error);
  // A plan with rows that could not be computed is refused, and still shows
  // its rows: they say why. A design whose problem gave up shows nothing.
  if (error && !(doc && doc.plan)) return;
  render(panel, doc, q, text);
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
    ...RULES.map(([name, , title]) => [name, title, probability(a[name])]),
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

// The chart at `url` in `img`; when it cannot be drawn, the server's reason
// in `note`, after `lead`, and `alsoHidden` hidden with the chart.
function showChart(img, note, url, lead, alsoHidden = []) {
  note.hidden = true;
  img.hidden = false;
  for (const e of alsoHidden) e.hidden = false;
  img.onerror = async () => {
    const { error } = await ask(url);
    if (img.getAttribute('src') !== url) return;
    img.hidden = true;
    for (const e of alsoHidden) e.hidden = true;
    note.textContent = lead + (error || 'the chart could not be drawn');
    note.hidden = false;
  };
  img.src = url;
}

// The chart and the downloads need the table; when it is too large the
// chart's refusal says so, in place of both.
function showTable(r, q) {
  const rows = new URLSearchParams(q);
  rows.set('rows', 'all');
  r.querySelector('[data-csv]').href = '/api/distribution.csv?' + q;
  r.querySelector('[data-json]').href = '/api/distribution?' + rows;
  showChart(r.querySelector('[data-chart]'), r.querySelector('[data-chart-error]'),
    '/api/distribution.svg?' + q, 'No chart and no table: ', [r.querySelector('[data-downloads]')]);
}

// ---- the audit tab: the figures of the text page, with its precision

// A figure of the document that may be null; then its reason is beside it.
function maybe(o, key, format) {
  const v = o[key];
  return v === null || v === undefined ? { value: 'undefined', why: o[key + '_reason'] } : { value: format(v) };
}

// "lower to upper", an end without a value unbounded and its reason given;
// both without values for one reason, undefined.
function interval(o, lower, upper, format) {
  const whyLower = o[lower + '_reason'];
  const whyUpper = o[upper + '_reason'];
  if (o[lower] === null && o[upper] === null && whyLower === whyUpper) return { value: 'undefined', why: whyLower };
  const end = (v) => (v === null ? 'unbounded' : format(v));
  const whys = [...new Set([whyLower, whyUpper].filter(Boolean))];
  return { value: end(o[lower]) + ' to ' + end(o[upper]), why: whys.join('; ') };
}

// Rows of "label  value", a reason under the label of a figure without one.
function figureTable(rows) {
  const table = element('table', undefined, { class: 'figures' });
  for (const [label, { value, why }] of rows) {
    const th = element('th', undefined, { scope: 'row' });
    th.append(element('span', label, { 'data-label': '' }));
    if (why) th.append(element('small', why, { class: 'why', 'data-why': '' }));
    const tr = element('tr', undefined, { 'data-row': '' });
    tr.append(th, element('td', value, { 'data-value': '' }));
    table.append(tr);
  }
  return table;
}

function countsTable(observed, rates) {
  const table = element('table', undefined, { class: 'counts' });
  const head = element('tr');
  head.append(element('th'), ...['applicants', 'hired', 'selection rate'].map((h) => element('th', h, { scope: 'col' })));
  table.append(head);
  const groups = [
    ['minority', observed.minority_applicants, observed.minority_hires, rates.minority],
    ['majority', observed.majority_applicants, observed.majority_hires, rates.majority],
    ['all', observed.minority_applicants + observed.majority_applicants,
      observed.minority_hires + observed.majority_hires, rates.pooled],
  ];
  for (const [group, applicants, hired, { value, why }] of groups) {
    const th = element('th', undefined, { scope: 'row' });
    th.append(element('span', group, { 'data-label': '' }));
    if (why) th.append(element('small', why, { class: 'why', 'data-why': '' }));
    const tr = element('tr', undefined, { 'data-count': '' });
    tr.append(th, element('td', String(applicants)), element('td', String(hired)), element('td', value));
    table.append(tr);
  }
  return table;
}

const levelLabel = (alpha, what) => general6(100 * (1 - alpha)) + '% ' + what;

// One selection's figures, in the order of the text page.
function auditParts(a, alpha) {
  const x = a.observed.minority_hires;
  const flagZ = 'flags adverse impact: z <= -z(alpha/2)';
  const esize = a.implied_esize;
  return [
    countsTable(a.observed, {
      minority: maybe(a.rates, 'minority', fixed6),
      majority: maybe(a.rates, 'majority', fixed6),
      pooled: { value: fixed6(a.rates.pooled) },
    }),
    figureTable([
      ['impact ratio: minority rate / majority rate', maybe(a, 'impact_ratio', fixed4)],
      ['AI ratio: majority rate / minority rate', maybe(a, 'ai', fixed4)],
      ['shortfall: pooled-rate minority hires less actual', { value: fixed4(a.shortfall) }],
    ]),
    element('h3', "Four-fifths rule: minority rate below 4/5 of the majority's"),
    figureTable([
      ['flags adverse impact', { value: yesNo(a.four_fifths.flags) }],
      ['flags even with one more minority hire', { value: yesNo(a.four_fifths.one_person_flags) }],
      ['further minority hires until it does not flag', maybe(a.four_fifths, 'hires_to_pass', String)],
    ]),
    element('h3', 'Two-proportion Z test, pooled variance (alpha = ' + general6(alpha) + ')'),
    figureTable([
      ["z, negative when the minority's rate is lower", maybe(a.z_test, 'z', fixed4)],
      ['p, lower tail', maybe(a.z_test, 'p_lower', general6)],
      ['p, two-sided', maybe(a.z_test, 'p_two_sided', general6)],
      [flagZ, { value: yesNo(a.z_test.flags) }],
    ]),
    element('h3', "Fisher's exact test (X' the minority hires of a random selection)"),
    figureTable([
      ["p, lower tail: P(X' <= " + x + ')', { value: general6(a.fisher_exact.p_lower) }],
      ['p, two-sided', { value: general6(a.fisher_exact.p_two_sided) }],
      ["mid-p: P(X' < " + x + ") + P(X' = " + x + ') / 2', { value: general6(a.fisher_exact.p_mid) }],
      ['flags adverse impact: lower tail <= alpha/2', { value: yesNo(a.fisher_exact.flags) }],
    ]),
    element('h3', 'Impact-ratio Z test (Morris & Lobsenz, 2000)'),
    figureTable([
      ['z', maybe(a.z_ir, 'z', fixed4)],
      ['p, lower tail', maybe(a.z_ir, 'p_lower', general6)],
      [flagZ, { value: yesNo(a.z_ir.flags) }],
      [levelLabel(alpha, 'interval of the impact ratio'), interval(a.impact_ratio_ci, 'lower', 'upper', fixed4)],
    ]),
    element('h3',
      "Implied effect size: the minority's mean score less the majority's, in standard deviations, were the " +
      (x + a.observed.majority_hires) + ' hired the best of these ' +
      (a.observed.minority_applicants + a.observed.majority_applicants) + ' applicants'),
    figureTable([
      ['maximum likelihood', maybe(esize, 'mle', fixed4)],
      [levelLabel(alpha, 'exact interval'), interval(esize, 'lower', 'upper', fixed4)],
      ['probit of the rates (large-sample value)', maybe(esize, 'probit', fixed4)],
    ]),
  ];
}

function countsLine(o) {
  return o.minority_applicants + ' minority applicants (' + o.minority_hires + ' hired), ' +
    o.majority_applicants + ' majority applicants (' + o.majority_hires + ' hired)';
}

// The events one by one, then all of them together.
function eventsParts(doc) {
  const n = doc.events.length;
  const parts = doc.events.map((e, i) => {
    const s = element('section', undefined, { class: 'event' });
    s.append(element('h2', 'Event ' + (i + 1) + ' of ' + n + ': ' + e.event), ...auditParts(e, doc.alpha));
    return s;
  });
  const t = doc.total;
  const rate = (hired, applicants) => ({ value: applicants > 0 ? fixed6(hired / applicants) : 'undefined' });
  const mh = doc.mantel_haenszel;
  const common = doc.common_implied_esize;
  const all = element('section', undefined, { class: 'event', 'data-total': '' });
  all.append(
    element('h2', 'All ' + n + ' events together'),
    countsTable(t, {
      minority: rate(t.minority_hires, t.minority_applicants),
      majority: rate(t.majority_hires, t.majority_applicants),
      pooled: rate(t.minority_hires + t.majority_hires, t.minority_applicants + t.majority_applicants),
    }),
    element('h3', "Mantel-Haenszel common odds ratio: a minority applicant's odds of being hired over a majority applicant's"),
    figureTable([
      ['odds ratio', maybe(mh, 'odds_ratio', fixed4)],
      [levelLabel(doc.alpha, 'interval (Robins et al.)'), interval(mh, 'odds_ratio_lower', 'odds_ratio_upper', fixed4)],
    ]),
    element('h3', 'Cochran-Mantel-Haenszel test, no continuity correction'),
    figureTable([
      ['chi-square, 1 degree of freedom', maybe(mh, 'statistic', fixed4)],
      ['z, negative when the minority is hired less', maybe(mh, 'z', fixed4)],
      ['p, lower tail', maybe(mh, 'p_lower', general6)],
      ['p, two-sided', maybe(mh, 'p_two_sided', general6)],
    ]),
    element('h3', 'Common implied effect size, from the ' + common.events_used + ' events whose outcome depends on it'),
    figureTable([
      ['maximum likelihood', maybe(common, 'mle', fixed4)],
      [levelLabel(doc.alpha, 'exact interval (total hires)'), interval(common, 'lower', 'upper', fixed4)],
    ]),
  );
  return [...parts, all];
}

// Several groups: the text page's table, each group against the reference.
function groupsParts(doc) {
  const table = element('table', undefined, { class: 'counts', 'data-groups': '' });
  const head = element('tr');
  for (const h of ['group', 'applicants', 'hired', 'rate', 'impact', 'shortfall', '4/5'])
    head.append(element('th', h, { scope: 'col' }));
  table.append(head);
  for (const g of doc.groups) {
    const reference = g.group === doc.reference;
    const tr = element('tr', undefined, { 'data-group': '' });
    tr.append(element('th', g.group, { scope: 'row' }));
    for (const cell of [String(g.applicants), String(g.hires), fixed(g.rate, 6), fixed(g.impact_ratio, 4),
      fixed(g.shortfall, 4), reference ? 'ref.' : g.four_fifths.flags ? 'flags' : 'no'])
      tr.append(element('td', cell));
    table.append(tr);
  }
  const box = element('div', undefined, { class: 'wide' });
  box.append(table);
  return [element('p', 'Reference: ' + doc.reference + ', ' + doc.reference_why + '.'), box];
}

function renderAudit(panel, doc, q, text) {
  const r = panel.results;
  // The document as the server wrote it, the command line's bytes: its tables
  // were posted, so no address gives it again.
  const json = r.querySelector('[data-json]');
  if (json.href) URL.revokeObjectURL(json.href);
  json.href = URL.createObjectURL(new Blob([text], { type: 'application/json' }));
  const alpha = '; alpha = ' + general6(doc.alpha);
  if (doc.groups) {
    r.querySelector('[data-problem]').textContent = doc.groups.length + ' groups' + alpha;
    r.querySelector('[data-audit]').replaceChildren(...groupsParts(doc));
  } else if (doc.events) {
    const n = doc.events.length;
    r.querySelector('[data-problem]').textContent =
      n + (n === 1 ? ' event: ' : ' events: ') + countsLine(doc.total) + ' in all' + alpha;
    r.querySelector('[data-audit]').replaceChildren(...eventsParts(doc));
  } else {
    r.querySelector('[data-problem]').textContent = 'One selection: ' + countsLine(doc.observed) + alpha;
    r.querySelector('[data-audit]').replaceChildren(...auditParts(doc, doc.alpha));
  }
}

// ---- the plan tab: the text page's lines, the chart, the found sizes, the rows

function planLines(plan) {
  const known = plan.minority_share !== undefined;
  const hires = plan.nhire !== undefined
    ? 'nhire = ' + plan.nhire
    : 'nhire = round(' + general6(plan.selection_ratio) + ' ntot), at least 1';
  const n = plan.ntot;
  return [
    'Effect size ' + fixed6(plan.esize) + '; ' + (known
      ? 'known pools of round(' + general6(plan.minority_share) + ' ntot) minority applicants'
      : 'binomial pools, minority proportion ' + fixed6(plan.prop)),
    'Hires: ' + hires + '; alpha = ' + general6(plan.alpha) + '; method ' + plan.method,
    'Pool sizes: ntot from ' + n.from + ' to ' + n.to + (n.step !== 1 ? ' in steps of ' + n.step : ''),
  ];
}

// The found sizes' rows, a header first.
function foundRows(doc) {
  const head = element('tr');
  head.append(element('th'), element('th', 'first', { scope: 'col' }), element('th', 'stays', { scope: 'col' }));
  const rows = Object.entries(doc.found).map(([name, { first, stays }]) => {
    const tr = element('tr', undefined, { 'data-rule': name });
    tr.append(element('th', ruleNamed(name)[2], { scope: 'row' }));
    tr.append(element('td', first === null ? 'none' : String(first)),
      element('td', stays === null ? 'none' : String(stays)));
    return tr;
  });
  return [head, ...rows];
}

// The rows of the plan, one per size, a header first.
function planRows(doc) {
  const rules = doc.plan.rules;
  const known = doc.plan.minority_share !== undefined;
  const head = element('tr');
  head.append(...['ntot', 'nhire', known ? 'min' : 'E[min]'].map((h) => element('th', h, { scope: 'col' })));
  for (const name of rules) head.append(element('th', ruleNamed(name)[1], { scope: 'col', title: ruleNamed(name)[2] }));
  head.append(element('th', '>1.25', { scope: 'col' }), element('th', 'undef', { scope: 'col' }));
  const lines = doc.rows.map((row) => {
    const tr = element('tr', undefined, { 'data-plan-row': '' });
    const minority = known ? String(row.minority) : fixed(row.expected_minority, row.expected_minority < 1e5 ? 1 : 0);
    tr.append(element('td', String(row.ntot)), element('td', String(row.nhire)), element('td', minority));
    if (!row.completed) {
      tr.append(element('td', 'not computed: ' + row.error, { colspan: String(rules.length + 2), class: 'why' }));
      return tr;
    }
    const mark = row.accuracy_shortfalls > 0 ? '*' : '';
    const probabilities = [...rules.map((name) => row[name]), row.p_above_1_25, row.p_undefined];
    tr.append(...probabilities.map((p, i) => element('td', fixed4(p) + (i === probabilities.length - 1 ? mark : ''))));
    return tr;
  });
  return [head, ...lines];
}

// A plan's or a design's chart came with its document (it is computed
// once), as SVG text drawn by the server from the same figures; none when a
// row failed.
function showDocumentChart(box, note, doc) {
  const svg = doc.chart ? new DOMParser().parseFromString(doc.chart, 'image/svg+xml').documentElement : null;
  const drawn = svg !== null && svg.nodeName === 'svg';
  box.replaceChildren(...(drawn ? [document.importNode(svg, true)] : []));
  box.hidden = !drawn;
  note.textContent = drawn ? '' : 'No chart: ' + (doc.error || 'the chart could not be drawn');
  note.hidden = drawn;
}

function renderPlan(panel, doc) {
  const r = panel.results;
  const fp = doc.false_positive;
  const what = fp ? 'false-positive rate' : 'probability';
  r.querySelector('[data-problem]').replaceChildren(
    ...planLines(doc.plan).map((l) => element('span', l, { class: 'line' })));
  r.querySelector('[data-false-positive]').hidden = !fp;
  showDocumentChart(r.querySelector('[data-chart]'), r.querySelector('[data-chart-error]'), doc);
  r.querySelector('[data-found-title]').textContent =
    "Where each rule's " + what + ' reaches the target ' + general6(doc.plan.target);
  r.querySelector('[data-found-note]').textContent =
    'first: the smallest ntot whose ' + what + ' reaches it; stays: the smallest from which it stays at or ' +
    'above it to ntot = ' + doc.plan.ntot.to + '; none: not reached in the range.';
  r.querySelector('[data-found]').replaceChildren(...foundRows(doc));
  r.querySelector('[data-rows]').replaceChildren(...planRows(doc));
  const legend = doc.plan.rules.map((name) => ruleNamed(name)[1] + ': ' + ruleNamed(name)[2] + '; ').join('') +
    ">1.25: P(AI > 1.25), the minority's rate below 4/5 of the majority's; undef: P(AI undefined); " +
    (doc.plan.minority_share !== undefined
      ? 'min: the minority applicants, round(share x ntot), halves up.'
      : 'E[min]: the expected minority applicants, prop x ntot.') +
    ' Four decimals; the sizes above use every digit.' +
    (doc.rows.some((row) => row.accuracy_shortfalls > 0)
      ? " *: a pool of this row missed the direct method's error bound (see the JSON)." : '');
  r.querySelector('[data-legend]').textContent = legend;
}

// ---- the design tab: the text page's tables, the chart, the chosen composite

function designLines(doc) {
  const d = doc.design;
  const s = doc.selection;
  const pool = s.minority !== undefined
    ? 'a known pool of ' + s.minority + ' minority applicants'
    : 'minority proportion ' + general(s.prop, 4);
  return [
    d.predictors.length + (d.predictors.length === 1 ? ' predictor (' : ' predictors (') +
      (d.matrix === 'within' ? 'within-group' : 'overall') + ' correlations, ' +
      (d.weights === 'nonnegative' ? 'non-negative' : 'free') + ' weights)',
    'Selection: ntot = ' + s.ntot + ', nhire = ' + s.nhire + ' (ratio ' + general(s.selection_ratio, 4) + '), ' + pool,
    'alpha = ' + general6(d.alpha) + ', method ' + d.method,
  ];
}

// A scrolling box around a table: a phone scrolls it, not the page.
function wide(table) {
  const box = element('div', undefined, { class: 'wide' });
  box.append(table);
  return box;
}

// The points' figures and their weights, as the text page's two tables: the
// design's rule's column marked.
function pointTables(points, labels, doc) {
  const figures = element('table', undefined, { class: 'rows', 'data-points': '' });
  const head = element('tr');
  head.append(...['', 'validity', 'esize', 'pop.IR'].map((h) => element('th', h, { scope: 'col' })));
  for (const [name, short, title] of RULES)
    head.append(element('th', short, { scope: 'col', title, ...(name === doc.design.rule ? { class: 'rule' } : {}) }));
  figures.append(head);
  const names = doc.design.predictors.map((p) => p.name);
  const weights = element('table', undefined, { class: 'rows', 'data-weights': '' });
  const weightsHead = element('tr');
  weightsHead.append(element('th', 'weights', { scope: 'col' }), ...names.map((n) => element('th', n, { scope: 'col' })));
  weights.append(weightsHead);
  points.forEach((pt, i) => {
    const tr = element('tr', undefined, { 'data-point': '' });
    tr.append(element('th', labels[i], { scope: 'row' }),
      ...[pt.validity, pt.esize, pt.population_impact_ratio].map((v) => element('td', fixed4(v))),
      ...RULES.map(([name]) => element('td', fixed4(pt.adverse_impact[name]), name === doc.design.rule ? { class: 'rule' } : {})));
    figures.append(tr);
    const w = element('tr', undefined, { 'data-point-weights': '' });
    w.append(element('th', labels[i], { scope: 'row' }), ...names.map((n) => element('td', fixed4(pt.weights[n]))));
    weights.append(w);
  });
  return [wide(figures), wide(weights)];
}

function renderDesign(panel, doc, q, text) {
  const r = panel.results;
  const json = r.querySelector('[data-json]');
  if (json.href) URL.revokeObjectURL(json.href);
  json.href = URL.createObjectURL(new Blob([text], { type: 'application/json' }));
  r.querySelector('[data-problem]').replaceChildren(
    ...designLines(doc).map((l) => element('span', l, { class: 'line' })));
  // The chosen composite, or why there is none, when one was asked for.
  const asked = doc.design.max_risk !== undefined || doc.design.min_impact_ratio !== undefined;
  r.querySelector('[data-chosen-part]').hidden = !asked;
  r.querySelector('[data-chosen-reason]').textContent = doc.chosen_reason;
  r.querySelector('[data-chosen]').replaceChildren(...(doc.chosen ? pointTables([doc.chosen], ['chosen'], doc) : []));
  showDocumentChart(r.querySelector('[data-chart]'), r.querySelector('[data-chart-error]'), doc);
  r.querySelector('[data-front]').replaceChildren(
    ...pointTables(doc.front, doc.front.map((_, i) => String(i + 1)), doc));
  r.querySelector('[data-compared-part]').hidden = doc.compared.length === 0;
  r.querySelector('[data-compared]').replaceChildren(
    ...pointTables(doc.compared, doc.compared.map((c) => c.name), doc));
  r.querySelector('[data-legend]').textContent =
    'pop.IR: the population impact ratio, minority rate over majority rate in an infinite pool. ' +
    "The rules' columns: the exact probability that each flags the minority (" +
    RULES.map(([, short, title]) => short + ': ' + title).join('; ') +
    '); the column of the rule chosen is marked. Four decimals; the JSON has every digit.';
}

// The comparisons, one a line in the form, go as parameters of their own.
function designUrl(q) {
  const out = new URLSearchParams();
  for (const [name, value] of q)
    if (name !== 'compare') out.append(name, value);
    else for (const l of value.split(/\r?\n/)) if (l.trim() !== '') out.append(name, l.trim());
  return '/api/design?chart=svg&' + out;
}

// ---- tabs and the address

const tabs = ['distribution', 'audit', 'plan', 'design'];
const panels = {
  distribution: { panel: panelOf('distribution'), url: (q) => '/api/distribution?' + q, render: renderDistribution },
  audit: { panel: panelOf('audit'), url: (q) => '/api/audit?' + q, render: renderAudit },
  // The plan's chart comes with its document.
  plan: { panel: panelOf('plan'), url: (q) => '/api/plan?chart=svg&' + q, render: renderPlan },
  // So does the design's.
  design: { panel: panelOf('design'), url: designUrl, render: renderDesign },
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
  const q = fieldsOfAddress(p.panel.form, address);
  if ([...q.keys()].length === 0) return;
  // A choice the address leaves out is the form's own: the direct method.
  for (const select of p.panel.form.querySelectorAll('select[name]'))
    if (!q.has(select.name)) q.set(select.name, select.options[0].value);
  fillForm(p.panel.form, q);
  run(p.panel, p.url, q, p.render);
}

// The plan's rule check boxes, one per rule, all ticked.
function ruleChoices() {
  const box = document.querySelector('[data-rule-choices]');
  for (const [name, , title] of RULES) {
    const label = element('label', undefined, { class: 'check' });
    label.append(element('input', undefined, { type: 'checkbox', name: 'rule', value: name, checked: '' }), title);
    box.append(label);
  }
}

// The design's rule: one of them, the four-fifths rule first.
function ruleSelect() {
  const select = document.querySelector('[data-rule-select]');
  for (const [name, , title] of RULES) select.append(element('option', title, { value: name }));
}

function start() {
  ruleChoices();
  ruleSelect();
  for (const p of Object.values(panels))
    for (const select of p.panel.form.querySelectorAll('[data-switch]')) {
      select.addEventListener('change', () => showCase(p.panel.form, select));
      showCase(p.panel.form, select);
    }
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
      // An address that would be refused as a request line keeps the tab alone.
      const address = '/?tab=' + name + '&' + q;
      history.pushState(null, '', address.length <= 4000 ? address : '/?tab=' + name);
      run(p.panel, p.url, q, p.render);
    });
  }
  window.addEventListener('popstate', followAddress);
  followAddress();
}

start();
