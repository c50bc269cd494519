"""The page in a real browser (headless Chromium through Selenium): each tab's
form filled and submitted, its figures compared with the command line's
summary digit for digit; errors and hostile values shown as text. Screenshots
of each tab go to the build folder."""

import json
import pathlib
import re
import subprocess
import tempfile
import urllib.parse

import pytest

from conftest import BINARY, BUILD, cli, line, plan_args, query, refusal, run

webdriver = pytest.importorskip("selenium.webdriver")
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import Select, WebDriverWait  # noqa: E402

# The summary page's labels, and the figure each one shows on the page.
LABELS = {
    "mean": "mean",
    "variance": "variance",
    "standard deviation": "sd",
    "P(ratio undefined)": "p_undefined",
    "no minority hired": "no_minority_hired",
    "a group absent from the pool": "group_absent",
    "P(AI > 1.25): minority rate below 4/5 of majority's": "p_above_1_25",
    "P(AI < 0.8): majority rate below 4/5 of minority's": "p_below_0_8",
    "four-fifths rule": "four_fifths",
    "four-fifths rule, even with one more minority hire": "four_fifths_one_person",
    "two-proportion Z test (pooled variance)": "z_test",
    "Fisher exact test (lower tail)": "fisher_exact",
    "impact-ratio Z test (Morris & Lobsenz)": "z_ir",
    "four-fifths rule and Z test": "four_fifths_and_z",
    "four-fifths rule but not Z test": "four_fifths_not_z",
    "Z test but not four-fifths rule": "z_not_four_fifths",
    "no comparison (none or all hired, a group absent)": "no_comparison",
}
PERCENTILES = ["p5", "p25", "p50", "p75", "p95"]
WAIT = 60  # seconds for any one result
EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "design"
DESIGN_PREDICTORS = (EXAMPLE / "predictors.csv").read_text()
DESIGN_CORRELATIONS = (EXAMPLE / "correlations.csv").read_text()


def summary_of(problem, *options):
    """The figures of `torvan --format summary`, by the page's names, as printed."""
    text = cli(line(problem), "--format", "summary", *options)
    lines = text.splitlines()
    figures = {}
    for l in lines:
        found = re.match(r"^\s+(.*?) \.+\s+(\S+)$", l)
        if found:
            figures[LABELS[found.group(1)]] = found.group(2)
    at = lines.index("       5th      25th      50th      75th      95th")
    figures.update(zip(PERCENTILES, lines[at + 1].split()))
    figures["alpha"] = next(l for l in lines if l.startswith("(alpha = "))
    figures["skipped"] = " ".join(l for l in lines if "too improbable" in l)
    assert len(figures) == len(LABELS) + len(PERCENTILES) + 2
    return figures


@pytest.fixture(scope="module")
def browser(tmp_path_factory):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for a in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
              "--disable-background-networking", "--disable-component-update", "--disable-sync",
              "--disable-dev-shm-usage", "--window-size=1200,1000",
              f"--user-data-dir={tmp_path_factory.mktemp('chromium')}"):
        options.add_argument(a)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(WAIT)
    driver.set_script_timeout(WAIT)
    yield driver
    driver.quit()


@pytest.fixture(autouse=True)
def fresh_log(browser):
    """Each test sees only what its own pages logged."""
    browser.get_log("browser")


def panel(browser, name):
    return browser.find_element(By.CSS_SELECTOR, f'[data-panel="{name}"]')


def wait_for_results(browser, name, problem_text):
    """Waits until the panel shows the results of the problem named by `problem_text`."""
    p = panel(browser, name)

    def shown(_):
        results = p.find_element(By.CSS_SELECTOR, "[data-results]")
        return results.is_displayed() and problem_text in results.find_element(
            By.CSS_SELECTOR, "[data-problem]").text

    WebDriverWait(browser, WAIT).until(shown)
    return p


def wait_for_error(browser, name):
    p = panel(browser, name)
    error = p.find_element(By.CSS_SELECTOR, "[data-error]")
    WebDriverWait(browser, WAIT).until(lambda _: error.is_displayed())
    return error.text


def page_figures(p):
    figures = {e.get_attribute("data-figure"): e.text
               for e in p.find_elements(By.CSS_SELECTOR, "[data-figure]")}
    figures["alpha"] = p.find_element(By.CSS_SELECTOR, "[data-alpha]").text
    figures["skipped"] = p.find_element(By.CSS_SELECTOR, "[data-skipped]").text
    return figures


def fill(browser, form, **fields):
    for name, value in fields.items():
        field = form.find_element(By.NAME, name)
        if field.tag_name == "select":
            field.find_element(By.CSS_SELECTOR, f'option[value="{value}"]').click()
        else:
            field.clear()
            field.send_keys(value)
    form.find_element(By.CSS_SELECTOR, "button[type=submit]").click()


def screenshot(browser, name):
    height = browser.execute_script("return document.documentElement.scrollHeight")
    browser.set_window_size(1200, max(1000, height + 40))
    browser.save_screenshot(str(BUILD / f"serve_{name}.png"))
    browser.set_window_size(1200, 1000)


def no_console_errors(browser):
    """Nothing the page did was refused (a policy violation is logged as severe)."""
    return [e["message"] for e in browser.get_log("browser") if e["level"] == "SEVERE"]


def test_an_address_opens_with_its_results(server, browser):
    browser.get(server.url + "?tab=distribution&ntot=100&nhire=20&esize=-1&prop=0.2")
    p = wait_for_results(browser, "distribution", "100 applicants, 20 hired")
    # The page's method unless the address names one: direct.
    assert page_figures(p) == summary_of((100, 20, -1, 0.2), "--method", "direct")
    chart = p.find_element(By.CSS_SELECTOR, "[data-chart]")
    WebDriverWait(browser, WAIT).until(
        lambda _: browser.execute_script(
            "return arguments[0].complete && arguments[0].naturalWidth", chart))
    csv = p.find_element(By.CSS_SELECTOR, "[data-csv]").get_attribute("href")
    status, _, body = server.get(urllib.parse.urlsplit(csv)._replace(scheme="", netloc="").geturl())
    assert status == 200 and body == cli(line((100, 20, -1, 0.2)), "--format", "csv",
                                         "--method", "direct")
    screenshot(browser, "distribution")
    assert no_console_errors(browser) == []


def test_the_form_gives_the_command_lines_figures(server, browser):
    browser.get(server.url)
    form = panel(browser, "distribution").find_element(By.TAG_NAME, "form")
    fill(browser, form, ntot="60", nhire="15", esize="-0.5", prop="0.3", method="direct",
         alpha="0.01")
    p = wait_for_results(browser, "distribution", "60 applicants, 15 hired")
    assert page_figures(p) == summary_of((60, 15, -0.5, 0.3), "--method", "direct",
                                         "--alpha", "0.01")
    # The address now holds the query: the result can be bookmarked.
    address = urllib.parse.parse_qs(urllib.parse.urlsplit(browser.current_url).query)
    assert address["tab"] == ["distribution"] and address["ntot"] == ["60"]
    assert address["alpha"] == ["0.01"] and "minority" not in address
    fill(browser, form, minority="18")
    p = wait_for_results(browser, "distribution", "known pool of 18 minority and 42 majority")
    assert page_figures(p) == summary_of((60, 15, -0.5, 0.3), "--method", "direct", "--alpha",
                                         "0.01", "--minority", "18")
    assert no_console_errors(browser) == []


def test_a_bad_value_shows_the_programs_message(server, browser):
    browser.get(server.url)
    form = panel(browser, "distribution").find_element(By.TAG_NAME, "form")
    fill(browser, form, ntot="60", nhire="500", method="direct")
    assert wait_for_error(browser, "distribution") == "nhire = 500 must lie between 0 and ntot = 60"
    results = panel(browser, "distribution").find_element(By.CSS_SELECTOR, "[data-results]")
    assert not results.is_displayed()
    fill(browser, form, nhire="15", esize="1e400")
    assert wait_for_error(browser, "distribution") == "esize must be a number, not '1e400'"


def test_a_script_in_a_parameter_shows_as_text(server, browser):
    hostile = '<script>window.injected = 1</script><img src=x onerror="window.injected = 2">'
    browser.get(server.url + "?tab=distribution&ntot=100&nhire=20&esize=-1&prop=0.2&method=direct"
                "&minority=" + urllib.parse.quote(hostile))
    message = wait_for_error(browser, "distribution")
    assert message == f"minority must be a whole number, not '{hostile}'"
    field = panel(browser, "distribution").find_element(By.NAME, "minority")
    assert field.get_attribute("value") == hostile
    assert browser.execute_script("return window.injected") is None
    assert len(browser.find_elements(By.TAG_NAME, "script")) == 1
    assert browser.find_elements(By.CSS_SELECTOR, "img[src=x]") == []


def test_a_table_too_large_says_so(server, browser):
    big = (20000, 10000, -0.5, 0.3)
    browser.get(server.url + "?tab=distribution&" + query(big, method="direct"))
    p = wait_for_results(browser, "distribution", "20000 applicants, 10000 hired")
    note = p.find_element(By.CSS_SELECTOR, "[data-chart-error]")
    WebDriverWait(browser, WAIT).until(lambda _: note.is_displayed())
    assert "more than this server lists (at most 100000 rows)" in note.text
    assert not p.find_element(By.CSS_SELECTOR, "[data-downloads]").is_displayed()
    assert page_figures(p)["mean"] == summary_of(big, "--method", "direct")["mean"]


# ---- the audit tab

HEADER = "event,minority_applicants,minority_hires,majority_applicants,majority_hires"
DOTTED = re.compile(r"^  (\S.*?) \.+\s*(\S.*)$")
COUNTS_ROW = re.compile(r"^  (minority|majority|all)\s+(\d+)\s+(\d+)\s+(\S+)$")
Z_FLAG = re.compile(r"^flags adverse impact: z <= -\d\.\d{4}$")


def audit_lines(*args, text=None):
    """The figures of `torvan audit`'s page in order: its counts rows and its
    dotted lines, as the page shows them (a figure undefined for the reason
    above it is simply undefined; the Z tests' critical value is named)."""
    page = run("audit", *args, text=text).stdout
    out = []
    for l in page.splitlines():
        if m := COUNTS_ROW.match(l):
            out.append(list(m.groups()))
        elif m := DOTTED.match(l):
            label, value = m.groups()
            label = "flags adverse impact: z <= -z(alpha/2)" if Z_FLAG.match(label) else label
            out.append([label, "undefined" if value == "undefined, as above" else value])
    return out


# The page's counts rows and figure rows in order: their cells, their reason,
# and whether they are the events' totals.
PAGE_FIGURES = """
return [...arguments[0].querySelectorAll('tr[data-count], tr[data-row]')].map((tr) => {
  const why = tr.querySelector('[data-why]');
  const cells = [...tr.querySelectorAll('td')].map((td) => td.textContent);
  return [[tr.querySelector('[data-label]').textContent, ...cells], why ? why.textContent : null,
          tr.closest('[data-total]') !== null];
});
"""


def reasons_of(doc):
    """Every "..._reason" of a document."""
    if isinstance(doc, dict):
        return {v for k, v in doc.items() if k.endswith("_reason")} | {
            r for v in doc.values() for r in reasons_of(v)}
    if isinstance(doc, list):
        return {r for v in doc for r in reasons_of(v)}
    return set()


def check_audit(browser, p, args, text=None):
    rows = browser.execute_script(PAGE_FIGURES, p.find_element(By.CSS_SELECTOR, "[data-audit]"))
    assert [figures for figures, _, _ in rows] == audit_lines(*args, text=text)
    # Every figure without a value says why, in the document's words (the
    # totals of events, which the document does not rate, aside).
    reasons = reasons_of(json.loads(run("audit", "--format", "json", *args, text=text).stdout))
    for figures, why, total in rows:
        if total:
            continue
        undefined = figures[-1] == "undefined" or "unbounded" in figures[-1]
        assert bool(why) == undefined, figures
        assert why is None or set(why.split("; ")) <= reasons, why


def test_an_audit_address_opens_with_its_results(server, browser):
    browser.get(server.url + "?tab=audit&minority_applicants=50&minority_hires=5"
                "&majority_applicants=150&majority_hires=30")
    p = wait_for_results(browser, "audit", "One selection: 50 minority applicants (5 hired)")
    check_audit(browser, p, ["50", "5", "150", "30"])
    screenshot(browser, "audit")
    assert no_console_errors(browser) == []


def test_the_audit_form_gives_the_command_lines_figures(server, browser):
    browser.get(server.url + "?tab=audit")
    form = panel(browser, "audit").find_element(By.TAG_NAME, "form")
    fill(browser, form, minority_applicants="25", minority_hires="0", majority_applicants="75",
         majority_hires="20", alpha="0.01")
    p = wait_for_results(browser, "audit", "25 minority applicants (0 hired)")
    check_audit(browser, p, ["--alpha", "0.01", "25", "0", "75", "20"])
    address = urllib.parse.parse_qs(urllib.parse.urlsplit(browser.current_url).query)
    assert address["tab"] == ["audit"] and address["minority_hires"] == ["0"]
    assert "events" not in address
    assert no_console_errors(browser) == []


EVENTS = HEADER + '\n2019,40,4,120,30\n"2020, site B",30,0,90,20\nnone,0,0,50,10\n'


def test_events_pasted_as_csv(server, browser):
    browser.get(server.url + "?tab=audit")
    form = panel(browser, "audit").find_element(By.TAG_NAME, "form")
    Select(form.find_element(By.CSS_SELECTOR, '[data-switch="observed"]')).select_by_value("events")
    assert not form.find_element(By.NAME, "minority_applicants").is_displayed()
    fill(browser, form, events=EVENTS)
    p = wait_for_results(browser, "audit", "3 events: 70 minority applicants (4 hired)")
    check_audit(browser, p, ["--events", "-"], text=EVENTS)
    titles = [h.text for h in p.find_elements(By.CSS_SELECTOR, ".event h2")]
    assert titles == ["Event 1 of 3: 2019", "Event 2 of 3: 2020, site B", "Event 3 of 3: none",
                      "All 3 events together"]
    # The address holds the events alone: opened again, it shows them.
    address = urllib.parse.parse_qs(urllib.parse.urlsplit(browser.current_url).query)
    assert address["events"] == [EVENTS.strip()] and "minority_applicants" not in address
    browser.get(browser.current_url)
    p = wait_for_results(browser, "audit", "3 events")
    check_audit(browser, p, ["--events", "-"], text=EVENTS)
    screenshot(browser, "audit_events")
    assert no_console_errors(browser) == []


def test_1000_events_are_posted(server, browser):
    events = HEADER + "\n" + "".join(f"e{i},{40 + i % 9},{4 + i % 5},120,30\n" for i in range(1000))
    browser.get(server.url + "?tab=audit")
    form = panel(browser, "audit").find_element(By.TAG_NAME, "form")
    Select(form.find_element(By.CSS_SELECTOR, '[data-switch="observed"]')).select_by_value("events")
    # Typed, 40 KB would take minutes; pasted, it is one value.
    browser.execute_script("arguments[0].value = arguments[1]", form.find_element(By.NAME, "events"),
                           events)
    form.find_element(By.CSS_SELECTOR, "button[type=submit]").click()
    p = wait_for_results(browser, "audit", "1000 events: ")
    check_audit(browser, p, ["--events", "-"], text=events)
    # Too long for an address: it keeps the tab alone.
    assert urllib.parse.urlsplit(browser.current_url).query == "tab=audit"
    assert "1 MiB" in form.text
    assert no_console_errors(browser) == []


GROUPS = "group\tapplicants\thires\nWhite\t200\t60\nBlack\t80\t12\n<b>Asian</b>\t50\t14\n"


def test_groups_pasted_from_a_spreadsheet(server, browser):
    browser.get(server.url + "?tab=audit")
    form = panel(browser, "audit").find_element(By.TAG_NAME, "form")
    Select(form.find_element(By.CSS_SELECTOR, '[data-switch="observed"]')).select_by_value("groups")
    browser.execute_script("arguments[0].value = arguments[1]", form.find_element(By.NAME, "groups"),
                           GROUPS)
    fill(browser, form, reference="Black")
    p = wait_for_results(browser, "audit", "3 groups")
    rows = browser.execute_script(
        "return [...arguments[0].querySelectorAll('tr[data-group]')].map((tr) =>"
        " [...tr.children].map((c) => c.textContent))", p)
    text = run("audit", "--groups", "-", "--reference", "Black", text=GROUPS).stdout
    at = text.splitlines().index(next(l for l in text.splitlines() if l.lstrip().startswith("group ")))
    want = [l.split() for l in text.splitlines()[at + 1:at + 4]]
    assert [[c for c in row if c] for row in rows] == want
    # The JSON link holds the document the server answered (the page's policy
    # lets no script read it back here).
    link = p.find_element(By.CSS_SELECTOR, "[data-json]")
    assert link.get_attribute("href").startswith("blob:") and link.is_displayed()
    assert no_console_errors(browser) == []
    fill(browser, form, reference="Nobody")
    assert wait_for_error(browser, "audit") == refusal("audit", "--groups", "-", "--reference",
                                                       "Nobody", text=GROUPS)


def test_a_bad_audit_shows_the_programs_message(server, browser):
    browser.get(server.url + "?tab=audit")
    form = panel(browser, "audit").find_element(By.TAG_NAME, "form")
    fill(browser, form, minority_hires="60")
    assert (wait_for_error(browser, "audit")
            == refusal("audit", "50", "60", "150", "30"))
    bad = HEADER + "\na,10,2,30,9\nb,12,13,28,10\n"
    Select(form.find_element(By.CSS_SELECTOR, '[data-switch="observed"]')).select_by_value("events")
    fill(browser, form, events=bad)
    assert wait_for_error(browser, "audit") == refusal("audit", "--events", "-", text=bad)
    assert wait_for_error(browser, "audit").startswith("line 3: ")


def test_a_script_in_an_event_shows_as_text(server, browser):
    hostile = '<script>window.injected = 1</script><img src=x onerror="window.injected = 2">'
    events = HEADER + '\n"' + hostile.replace('"', '""') + '",10,1,30,9\n'
    browser.get(server.url + "?tab=audit&events=" + urllib.parse.quote(events))
    p = wait_for_results(browser, "audit", "1 event: ")
    assert p.find_element(By.CSS_SELECTOR, ".event h2").text == "Event 1 of 1: " + hostile
    browser.get(server.url + "?tab=audit&minority_applicants=50&minority_hires="
                + urllib.parse.quote(hostile) + "&majority_applicants=150&majority_hires=30")
    assert wait_for_error(browser, "audit").startswith("minority_hires must be a whole number")
    assert browser.execute_script("return window.injected") is None
    assert len(browser.find_elements(By.TAG_NAME, "script")) == 1
    assert browser.find_elements(By.CSS_SELECTOR, "img[src=x]") == []


# ---- the plan tab

def plan_page(params):
    """`torvan plan`'s page: its plan lines, its rows (a row not computed as
    its first three fields and its reason) and its found sizes."""
    lines = run("plan", *plan_args(params)).stdout.splitlines()
    plan = lines[2:5]
    head = next(i for i, l in enumerate(lines) if l.startswith("   ntot"))
    rows = []
    for l in lines[head + 1:lines.index("", head)]:
        if l.startswith(" " * 8):  # a reason's next line
            rows[-1][-1] += " " + l.strip()
        elif "not computed: " in l:
            first, why = l.split("  not computed: ")
            rows.append(first.split() + ["not computed: " + why])
        else:
            rows.append(l.rstrip("*").split() + (["*"] if l.endswith("*") else []))
    found_at = next(i for i, l in enumerate(lines) if l.strip() == "first   stays")
    found = []
    for l in lines[found_at + 1:]:
        title, value = re.match(r"^  (.*?) \.+ +(\S.*)$", l).groups()
        found.append([title] + value.split())
    return plan, rows, found


def page_plan(p):
    plan = p.find_element(By.CSS_SELECTOR, "[data-problem]").text.splitlines()
    rows = [[td.text for td in tr.find_elements(By.TAG_NAME, "td")]
            for tr in p.find_elements(By.CSS_SELECTOR, "tr[data-plan-row]")]
    # The text page marks a row short of the error bound after its last figure.
    rows = [r[:-1] + [r[-1].rstrip("*"), "*"] if r[-1].endswith("*") else r for r in rows]
    found = [[tr.find_element(By.TAG_NAME, "th").text]
             + [td.text for td in tr.find_elements(By.TAG_NAME, "td")]
             for tr in p.find_elements(By.CSS_SELECTOR, "tr[data-rule]")]
    return plan, rows, found


def wait_for_chart(browser, p):
    """The plan's chart, drawn from its document: one request computes the plan."""
    chart = p.find_element(By.CSS_SELECTOR, "[data-chart]")
    WebDriverWait(browser, WAIT).until(
        lambda _: browser.execute_script(
            "const svg = arguments[0].querySelector('svg');"
            "return svg !== null && svg.getBoundingClientRect().width > 100", chart))


PLAN = [("esize", "-0.3"), ("prop", "0.3"), ("selection_ratio", "0.2"), ("ntot", "10:2000:20")]


def test_a_plan_address_opens_with_its_results(server, browser):
    browser.get(server.url + "?tab=plan&" + urllib.parse.urlencode(PLAN))
    p = wait_for_results(browser, "plan", "Pool sizes: ntot from 10 to 2000 in steps of 20")
    assert page_plan(p) == plan_page(PLAN)
    wait_for_chart(browser, p)
    assert not p.find_element(By.CSS_SELECTOR, "[data-false-positive]").is_displayed()
    screenshot(browser, "plan")
    assert no_console_errors(browser) == []


def test_the_plan_form_gives_the_command_lines_figures(server, browser):
    browser.get(server.url + "?tab=plan")
    form = panel(browser, "plan").find_element(By.TAG_NAME, "form")
    Select(form.find_element(By.CSS_SELECTOR, '[data-switch="pools"]')).select_by_value(
        "minority_share")
    Select(form.find_element(By.CSS_SELECTOR, '[data-switch="hires"]')).select_by_value("nhire")
    for rule in ("four_fifths_one_person", "fisher_exact", "four_fifths_and_z"):
        form.find_element(By.CSS_SELECTOR, f'input[name=rule][value="{rule}"]').click()
    fill(browser, form, esize="0", minority_share="0.25", nhire="12", ntot="10:80:5",
         target="0.04", alpha="0.1")
    p = wait_for_results(browser, "plan", "Pool sizes: ntot from 10 to 80 in steps of 5")
    params = [("esize", "0"), ("minority_share", "0.25"), ("nhire", "12"), ("ntot", "10:80:5"),
              ("target", "0.04"), ("alpha", "0.1"), ("method", "direct"),
              ("rule", "four_fifths,z_test,z_ir")]
    assert page_plan(p) == plan_page(params)
    assert p.find_element(By.CSS_SELECTOR, "[data-false-positive]").is_displayed()
    wait_for_chart(browser, p)
    # The address holds the query, with the rules ticked; opened again, the same.
    address = urllib.parse.parse_qs(urllib.parse.urlsplit(browser.current_url).query)
    assert address["rule"] == ["four_fifths,z_test,z_ir"] and "prop" not in address
    assert "selection_ratio" not in address
    browser.get(browser.current_url)
    p = wait_for_results(browser, "plan", "Pool sizes: ntot from 10 to 80 in steps of 5")
    assert page_plan(p) == plan_page(params)
    ticked = [b.get_attribute("value")
              for b in p.find_elements(By.CSS_SELECTOR, "input[name=rule]") if b.is_selected()]
    assert ticked == ["four_fifths", "z_test", "z_ir"]
    # The sizes below nhire = 12 cannot be computed: the plan is refused (422,
    # as the command line exits 1) and shown with its rows and the reason.
    error = p.find_element(By.CSS_SELECTOR, "[data-error]")
    assert error.text == "1 of 15 sizes could not be computed (the rows say why)"
    assert [e for e in no_console_errors(browser) if "status of 422" not in e] == []


def test_a_bad_plan_shows_the_programs_message(server, browser):
    browser.get(server.url + "?tab=plan")
    form = panel(browser, "plan").find_element(By.TAG_NAME, "form")
    fill(browser, form, ntot="100:10")
    assert wait_for_error(browser, "plan") == refusal(
        "plan", *plan_args([("esize", "-0.5"), ("prop", "0.3"), ("selection_ratio", "0.2"),
                            ("ntot", "100:10")]))
    fill(browser, form, ntot="10:20000:10")
    assert wait_for_error(browser, "plan").startswith("the plan's 2000 sizes add up to 20010000 applicants")


def test_a_script_in_a_plan_parameter_shows_as_text(server, browser):
    hostile = '<script>window.injected = 1</script><img src=x onerror="window.injected = 2">'
    browser.get(server.url + "?tab=plan&" + urllib.parse.urlencode(PLAN + [("rule", hostile)]))
    assert wait_for_error(browser, "plan").startswith(f"rule '{hostile}' is not one of ")
    assert browser.execute_script("return window.injected") is None
    assert browser.find_elements(By.CSS_SELECTOR, "img[src=x]") == []


def test_numbers_are_printed_as_printf_prints_them(server, browser):
    """The page's fixed() and general() against printf's %.Nf and %.Pg (Python's
    % formatting rounds the exact binary value to the nearest, ties to even,
    as the C library does), values exactly halfway included."""
    import random

    rng = random.Random(5)
    fixed_cases = [(rng.uniform(-1, 1) * 10 ** rng.randint(-14, 4), rng.choice([4, 6, 12]))
                   for _ in range(3000)]
    # j / 2^(d + 1) with j odd ends in a 5 right after the d-th decimal.
    fixed_cases += [(j / 2 ** (d + 1), d) for d in (4, 6, 12) for j in range(1, 400, 2)]
    fixed_cases += [(-0.0, 6), (0.0, 12), (-1e-9, 6), (2.5, 0), (3.5, 0), (999999.9, 4)]
    general_cases = [(rng.uniform(0, 1) * 10 ** rng.randint(-30, 8), rng.choice([3, 6]))
                     for _ in range(2000)]
    general_cases += [(0.05, 6), (0.0001, 3), (0.00001, 3), (123456.0, 6), (1234567.0, 6), (1.0, 3)]
    browser.get(server.url + "?tab=audit")
    got_fixed = browser.execute_script(
        "return arguments[0].map(([x, d]) => fixed(x, d))", [list(c) for c in fixed_cases])
    got_general = browser.execute_script(
        "return arguments[0].map(([x, p]) => general(x, p))", [list(c) for c in general_cases])
    assert [f"%.{d}f" % x for x, d in fixed_cases] == got_fixed
    assert [f"%.{p}g" % x for x, p in general_cases] == got_general


PHONE_PAGES = [
    ("distribution", "?tab=distribution&ntot=100&nhire=20&esize=-1&prop=0.2", "100 applicants"),
    ("audit", "?tab=audit&minority_applicants=50&minority_hires=5&majority_applicants=150"
     "&majority_hires=30", "One selection"),
    ("audit_events", "?tab=audit&events=" + urllib.parse.quote(EVENTS), "3 events"),
    ("plan", "?tab=plan&" + urllib.parse.urlencode(PLAN), "Pool sizes"),
    ("design", "?tab=design&" + urllib.parse.urlencode(
        [("predictors", DESIGN_PREDICTORS), ("correlations", DESIGN_CORRELATIONS),
         ("ntot", "200"), ("nhire", "20"), ("prop", "0.15"), ("max_risk", "0.33")]), "Selection"),
]


@pytest.mark.parametrize("name,address,problem_text", PHONE_PAGES)
def test_a_phone_scrolls_no_tab_sideways(server, browser, name, address, problem_text):
    browser.set_window_size(390, 900)
    try:
        browser.get(server.url + address)
        wait_for_results(browser, name.split("_")[0], problem_text)
        inner, client, scroll = browser.execute_script(
            "const e = document.documentElement; "
            "return [window.innerWidth, e.clientWidth, e.scrollWidth]")
        assert inner <= 400
        # Within the window, and within what its scroll bar leaves visible.
        assert scroll <= inner and scroll <= client
        browser.save_screenshot(str(BUILD / f"serve_phone_{name}.png"))
    finally:
        browser.set_window_size(1200, 1000)


# ---- the design tab


def design_text(params, tables):
    """`torvan design`'s page: the numbers of each table of figures and of
    weights, in order (front, compared, chosen), and the chosen line."""
    with tempfile.TemporaryDirectory() as d:
        for name, text in tables.items():
            (pathlib.Path(d) / name).write_text(text)
        args = [f"--{k.replace('_', '-')}={v}" for k, v in params]
        r = subprocess.run([BINARY, "design", "--predictors", "predictors", "--correlations",
                            "correlations", "--threads", "1", *args], cwd=d, capture_output=True,
                           text=True, timeout=120)
    assert r.returncode == 0, r.stderr
    lines = r.stdout.splitlines()
    tables, at = [], 0
    while at < len(lines):
        if re.match(r"^(point|composite|weights) ", lines[at]):
            width = len(lines[at].split()) - 1
            rows = []
            at += 1
            while at < len(lines) and lines[at].strip():
                rows.append(lines[at].split()[-width:])
                at += 1
            tables.append(rows)
        at += 1
    chosen = " ".join(l for l in r.stdout.split("\n\n") if l.startswith("Chosen: "))
    return tables, chosen.replace("\n", " ").strip()


def page_design(p):
    tables = []
    for part in ("[data-front]", "[data-compared]", "[data-chosen]"):
        for kind in ("tr[data-point]", "tr[data-point-weights]"):
            rows = [[td.text for td in tr.find_elements(By.TAG_NAME, "td")]
                    for tr in p.find_elements(By.CSS_SELECTOR, f"{part} {kind}")]
            if rows:
                tables.append(rows)
    chosen = p.find_element(By.CSS_SELECTOR, "[data-chosen-part]")
    reason = chosen.find_element(By.CSS_SELECTOR, "[data-chosen-reason]").text
    return tables, "Chosen: " + reason if chosen.is_displayed() else ""


DESIGN = [("matrix", "overall"), ("ntot", "200"), ("nhire", "20"), ("prop", "0.15"),
          ("max_risk", "0.33"), ("points", "11"), ("compare", "unit")]
DESIGN_TABLES = {"predictors": DESIGN_PREDICTORS, "correlations": DESIGN_CORRELATIONS}


def test_a_design_address_opens_with_its_results(server, browser):
    browser.get(server.url + "?tab=design&" + urllib.parse.urlencode(
        list(DESIGN_TABLES.items()) + DESIGN))
    p = wait_for_results(browser, "design", "Selection: ntot = 200, nhire = 20 (ratio 0.1)")
    assert page_design(p) == design_text(DESIGN, DESIGN_TABLES)
    wait_for_chart(browser, p)
    screenshot(browser, "design")
    assert no_console_errors(browser) == []


def test_a_design_pasted_from_a_spreadsheet(server, browser):
    """Tab-separated tables, the esize column, a known pool, a selection ratio,
    free weights, two comparisons and a bound on the population impact ratio."""
    tsv = {"predictors": "name\tvalidity\tesize\nGMA\t0.52\t-0.72\nSI\t0.48\t-0.39\n",
           "correlations": "name\tGMA\tSI\nGMA\t1\t0.31\nSI\t0.31\t1\n"}
    browser.get(server.url + "?tab=design")
    form = panel(browser, "design").find_element(By.TAG_NAME, "form")
    for switch, case in (("hires", "selection_ratio"), ("pools", "minority"),
                         ("choose", "min_impact_ratio")):
        Select(form.find_element(By.CSS_SELECTOR, f'[data-switch="{switch}"]')).select_by_value(
            case)
    # A tab typed moves the focus: the tables are pasted, as a spreadsheet does.
    for name in ("predictors", "correlations"):
        browser.execute_script("arguments[0].value = arguments[1]",
                               form.find_element(By.NAME, name), tsv[name])
    fill(browser, form, weights="free", ntot="120", selection_ratio="0.25", minority="30",
         min_impact_ratio="0.7", points="5", compare="unit\nmine=2,1\n", rule="z_test")
    p = wait_for_results(browser, "design", "a known pool of 30 minority applicants")
    params = [("weights", "free"), ("ntot", "120"), ("selection_ratio", "0.25"),
              ("minority", "30"), ("min_impact_ratio", "0.7"), ("points", "5"),
              ("compare", "unit"), ("compare", "mine=2,1"), ("rule", "z_test")]
    assert page_design(p) == design_text(params, tsv)
    assert [th.text for th in p.find_elements(By.CSS_SELECTOR, "[data-front] th.rule")] == ["Z"]


def test_a_design_without_a_qualifying_composite_says_why(server, browser):
    params = [(k, "0.01" if k == "max_risk" else v) for k, v in DESIGN]
    browser.get(server.url + "?tab=design&" + urllib.parse.urlencode(
        list(DESIGN_TABLES.items()) + params))
    p = wait_for_results(browser, "design", "Selection: ntot = 200")
    tables, chosen = page_design(p)
    assert chosen.startswith("Chosen: none: even the least adverse composite (esize 0.090000)")
    assert (tables, chosen) == design_text(params, DESIGN_TABLES)
    assert p.find_elements(By.CSS_SELECTOR, "[data-chosen] tr") == []


def test_a_bad_design_shows_the_programs_message(server, browser):
    browser.get(server.url + "?tab=design")
    form = panel(browser, "design").find_element(By.TAG_NAME, "form")
    fill(browser, form, correlations=DESIGN_CORRELATIONS.replace("0.51", "0.15", 1))
    assert wait_for_error(browser, "design") == (
        "the correlation matrix is not symmetric: BIO-C is 0.15 but C-BIO is 0.51")
