# The probe scripts' checks: expect() prints each failure, done() exits 1 after any.
import sys

failed = False


def expect(cond, what):
    global failed
    if not cond:
        print("FAILED:", what)
        failed = True


def done():
    sys.exit(1 if failed else 0)
