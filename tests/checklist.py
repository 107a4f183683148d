"""Checks that report and go on: each failed check prints what it expected and
what it got, and the test's exit status counts them."""
failures = []


def check(name, actual, expected):
    if actual != expected:
        failures.append(name)
        print("%s:\n  expected %r\n  actual   %r" % (name, expected, actual))


def status():
    """The exit status of the test: 1 when any check failed."""
    return 1 if failures else 0
