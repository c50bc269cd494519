"""The page in a real browser (headless Chromium through Selenium): each tab's
form filled and submitted, its figures compared with the command line's
summary digit for digit; errors and hostile values shown as text. Screenshots
of each tab go to the build folder."""

import re
import urllib.parse

import pytest

from conftest import BUILD, cli, line, query

webdriver = pytest.importorskip("selenium.webdriver")
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

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
    assert page_figures(p) == summary_of((100, 20, -1, 0.2))
    chart = p.find_element(By.CSS_SELECTOR, "[data-chart]")
    WebDriverWait(browser, WAIT).until(
        lambda _: browser.execute_script(
            "return arguments[0].complete && arguments[0].naturalWidth", chart))
    csv = p.find_element(By.CSS_SELECTOR, "[data-csv]").get_attribute("href")
    status, _, body = server.get(urllib.parse.urlsplit(csv)._replace(scheme="", netloc="").geturl())
    assert status == 200 and body == cli(line((100, 20, -1, 0.2)), "--format", "csv")
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
    assert (wait_for_error(browser, "distribution")
            == "esize: real out of range: incomprehensible list input")


def test_a_script_in_a_parameter_shows_as_text(server, browser):
    hostile = '<script>window.injected = 1</script><img src=x onerror="window.injected = 2">'
    browser.get(server.url + "?tab=distribution&ntot=100&nhire=20&esize=-1&prop=0.2&method=direct"
                "&minority=" + urllib.parse.quote(hostile))
    message = wait_for_error(browser, "distribution")
    assert message == f"minority needs a whole number of at least 0, not '{hostile}'"
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


@pytest.mark.parametrize("tab", ["audit", "plan"])
def test_the_other_tabs(server, browser, tab):
    browser.get(server.url)
    browser.find_element(By.CSS_SELECTOR, f'[data-tab="{tab}"]').click()
    WebDriverWait(browser, WAIT).until(lambda _: panel(browser, tab).is_displayed())
    assert not panel(browser, "distribution").is_displayed()
    assert urllib.parse.urlsplit(browser.current_url).query == f"tab={tab}"
    screenshot(browser, tab)


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
