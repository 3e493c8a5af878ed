"""Each example's page in a real browser: Debian's chromium driven through
/usr/bin/chromedriver, headless. No console errors, expand and collapse all,
the search box, and a screenshot into the test output folder."""

import os
import pathlib
import shutil

import pytest

import brix
from conftest import example_params

CHROMEDRIVER = pathlib.Path("/usr/bin/chromedriver")

webdriver = pytest.importorskip("selenium.webdriver", reason="selenium is not installed (pip install selenium)")
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402


@pytest.fixture(scope="module")
def browser():
    if not CHROMEDRIVER.exists() or shutil.which("chromium") is None:
        pytest.skip("no browser: install Debian's chromium and chromium-driver (apt-get install chromium chromium-driver)")
    options = webdriver.ChromeOptions()
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--window-size=1400,900"):
        options.add_argument(flag)
    options.binary_location = shutil.which("chromium")
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(executable_path=str(CHROMEDRIVER)), options=options)
    yield driver
    driver.quit()


def open_page(browser, folder, name, html):
    path = folder / f"{name}.html"
    path.write_text(html, encoding="utf-8")
    browser.get(path.as_uri())
    return path


def console_errors(browser):
    return [entry for entry in browser.get_log("browser") if entry["level"] == "SEVERE"]


def open_states(browser):
    return [d.get_property("open") for d in browser.find_elements(By.CSS_SELECTOR, "#tree details")]


def visible_chips(browser):
    return [c.text for c in browser.find_elements(By.CSS_SELECTOR, "#tree .sel:not(.nested)") if c.is_displayed()]


@pytest.mark.parametrize("example", example_params())
def test_example_page(browser, output_dir, example):
    html = brix.render_html(example.text, externs=example.externs, title=f"{example.name}.brix")
    open_page(browser, output_dir, example.name, html)
    assert console_errors(browser) == []

    states = open_states(browser)
    assert states and all(states)
    browser.find_element(By.ID, "collapse-all").click()
    assert not any(open_states(browser))
    assert visible_chips(browser) == []
    browser.find_element(By.ID, "expand-all").click()
    assert all(open_states(browser))
    everything = visible_chips(browser)
    assert everything

    # The first course of the page is searched for by its lower-case name with the space doubled.
    course = next(c for c in browser.find_elements(By.CSS_SELECTOR, "#tree .sel.Class")).text
    search = browser.find_element(By.ID, "search")
    search.send_keys(course.lower().replace(" ", "  "))
    found = visible_chips(browser)
    assert found and all(course in chip for chip in found)
    assert len(found) < len(everything)
    status = browser.find_element(By.ID, "search-status").text
    assert status == f"{len(found)} course found" if len(found) == 1 else f"{len(found)} courses found"
    shown_reqs = [r for r in browser.find_elements(By.CSS_SELECTOR, "#tree .req") if r.is_displayed()]
    assert 0 < len(shown_reqs) < len(browser.find_elements(By.CSS_SELECTOR, "#tree .req"))
    browser.save_screenshot(str(output_dir / f"{example.name}-search.png"))

    search.send_keys(Keys.ESCAPE)
    assert visible_chips(browser) == everything

    # A requirement's link marks its lines in the source.
    link = browser.find_element(By.CSS_SELECTOR, "#tree .req a.goto")
    link.click()
    first, last = (int(n) for n in link.get_attribute("data-lines").split("-"))
    marked = [e.get_attribute("id") for e in browser.find_elements(By.CSS_SELECTOR, ".ln.mark")]
    assert marked == [str(n) for n in range(first, last + 1)]
    assert browser.execute_script("return location.hash") == f"#{first}"

    browser.save_screenshot(str(output_dir / f"{example.name}.png"))
    assert console_errors(browser) == []


def test_keyboard_reaches_search_and_toggles_requirements(browser, output_dir):
    text = 'SELECT 1 FROM [MATH 1210, SELECT 1 FROM STAT 2110] : "First";\nSELECT 1 FROM CSCI 1010 : "Second";\n'
    open_page(browser, output_dir, "keyboard", brix.render_html(text))
    body = browser.find_element(By.TAG_NAME, "body")
    body.send_keys("/")
    assert browser.switch_to.active_element.get_attribute("id") == "search"
    summary = browser.find_element(By.CSS_SELECTOR, "#r1 > details > summary")
    summary.send_keys(Keys.ENTER)  # a summary is a button to the keyboard
    assert open_states(browser) == [False, True, True]
    assert browser.find_element(By.ID, "search").get_attribute("aria-label") == "Find a course"
    assert console_errors(browser) == []


def test_large_page_stays_usable(browser, output_dir):
    lines = [f'SELECT 1 FROM [MATH {1000 + i % 9000:04d}, STAT 2110] : "Requirement {i}";' for i in range(3000)]
    html = brix.render_html("\n".join(lines) + "\n", title="large")
    open_page(browser, output_dir, "large", html)
    assert not any(open_states(browser))  # starts collapsed
    search = browser.find_element(By.ID, "search")
    search.send_keys("math 1042")
    assert browser.find_element(By.ID, "search-status").text == "1 course found"
    assert console_errors(browser) == []
