import ostrell


def test_docstring():
    assert ostrell.__doc__ == "ostrell: 128-bit double-double arithmetic module"
