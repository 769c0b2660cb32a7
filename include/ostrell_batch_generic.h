/* ostrell_batch_generic.h: the vector bodies of the batch functions, written
 * once and instantiated per instruction set.  No include guard:
 * ostrell_batch.h includes it once per set with _OSTRELL_SUF (the name
 * suffix of ostrell_batch_vec.h) and _OSTRELL_TGT (its target attribute)
 * defined.
 *
 * Each body runs the scalar function's binary64 operations in the same
 * order, lane by lane.  Every lane where the scalar code would take another
 * branch (a special argument, an overflowing sum or product, a large-factor
 * rescue of the product error, a scaling outside the normal range, a
 * reduction beyond its straight path) is OR-ed into a mask; a block with any
 * such lane is recomputed by the scalar function, out of line.
 */

#define _OV_CAT2(a, b) _ostrell_##a##_##b
#define _OV_CAT(a, b) _OV_CAT2(a, b)
#define _OV(name) _OV_CAT(name, _OSTRELL_SUF)
#define _OV_FN(ret) static inline __attribute__((always_inline)) _OSTRELL_TGT ret
#define _OV_K(d) _OV(set1)(d)
#define _OV_FLAG(m) (*bad = _OV(or)(*bad, (m)))

typedef struct { _OV(v) hi, lo; } _OV(dd);

_OV_FN(_OV(dd)) _OV(dd_make)(_OV(v) hi, _OV(v) lo)
{
    _OV(dd) r;
    r.hi = hi;
    r.lo = lo;
    return r;
}
/* The constant row raw = {hi, lo} in every lane. */
_OV_FN(_OV(dd)) _OV(dd_raw)(const double* raw) { return _OV(dd_make)(_OV_K(raw[0]), _OV_K(raw[1])); }
/* Both parts' signs flipped (ostrell_neg) in the lanes of m. */
_OV_FN(_OV(dd)) _OV(dd_neg_if)(_OV(m) m, _OV(dd) a)
{
    _OV(v) s = _OV(select)(m, _OV_K(0.0), _OV_K(-0.0));
    return _OV(dd_make)(_OV(xor)(a.hi, s), _OV(xor)(a.lo, s));
}
_OV_FN(_OV(dd)) _OV(dd_select)(_OV(m) m, _OV(dd) a, _OV(dd) b)
{
    return _OV(dd_make)(_OV(select)(m, a.hi, b.hi), _OV(select)(m, a.lo, b.lo));
}

/* Lanes where |hi| or |lo| exceeds 1 or is NaN.  A polynomial or product
 * evaluated on pairs bounded so, with coefficients below 1, keeps every
 * sum, product and split far from overflow and from the 6.7e299 rescue: no
 * kernel branch can be taken, so such steps need no flags of their own
 * (their masks go to a local that is dropped). */
_OV_FN(_OV(m)) _OV(beyond_one)(_OV(dd) a)
{
    return _OV(or)(_OV(nle)(_OV(abs)(a.hi), _OV_K(1.0)), _OV(nle)(_OV(abs)(a.lo), _OV_K(1.0)));
}

/* Nearest integer, halves away from zero (C round): x - trunc(x) is exact. */
_OV_FN(_OV(v)) _OV(round)(_OV(v) x)
{
    _OV(v) t = _OV(trunc)(x);
    _OV(v) away = _OV(add)(t, _OV(xor)(_OV_K(1.0), _OV(sign)(x)));
    return _OV(select)(_OV(ge)(_OV(abs)(_OV(sub)(x, t)), _OV_K(0.5)), t, away);
}

/* ---- the kernel operations of ostrell.h ---------------------------------- */

/* ostrell_exact_mul_err: flags a factor above 6.7e299 (the scalar scales it
 * first) and a non-finite error (the scalar may rerun the steps scaled). */
_OV_FN(_OV(v)) _OV(mul_err)(_OV(v) a, _OV(v) b, _OV(v) p, _OV(m)* bad)
{
    const _OV(v) split = _OV_K(134217729.0); /* 2^27 + 1 */
    _OV(v) t, a_h, a_l, b_h, b_l, err;
    _OV_FLAG(_OV(or)(_OV(gt)(_OV(abs)(a), _OV_K(6.7e299)), _OV(gt)(_OV(abs)(b), _OV_K(6.7e299))));
    t = _OV(mul)(a, split);
    a_h = _OV(sub)(t, _OV(sub)(t, a));
    a_l = _OV(sub)(a, a_h);
    t = _OV(mul)(b, split);
    b_h = _OV(sub)(t, _OV(sub)(t, b));
    b_l = _OV(sub)(b, b_h);
    err = _OV(add)(_OV(add)(_OV(add)(_OV(sub)(_OV(mul)(a_h, b_h), p), _OV(mul)(a_h, b_l)),
                            _OV(mul)(a_l, b_h)),
                   _OV(mul)(a_l, b_l));
    _OV_FLAG(_OV(nle)(_OV(abs)(err), _OV_K(OSTRELL_DBL_MAX)));
    return err;
}

/* ostrell_add; an infinite s is flagged (the scalar returns (s, +0)). */
_OV_FN(_OV(dd)) _OV(dd_add)(_OV(dd) a, _OV(dd) b, _OV(m)* bad)
{
    _OV(v) s, bb, err, hi;
    s = _OV(add)(a.hi, b.hi);
    _OV_FLAG(_OV(gt)(_OV(abs)(s), _OV_K(OSTRELL_DBL_MAX)));
    bb = _OV(sub)(s, a.hi);
    err = _OV(add)(_OV(sub)(a.hi, _OV(sub)(s, bb)), _OV(sub)(b.hi, bb));
    err = _OV(add)(err, _OV(add)(a.lo, b.lo));
    hi = _OV(add)(s, err);
    return _OV(dd_make)(hi, _OV(sub)(err, _OV(sub)(hi, s)));
}

/* ostrell_sub; as dd_add. */
_OV_FN(_OV(dd)) _OV(dd_sub)(_OV(dd) a, _OV(dd) b, _OV(m)* bad)
{
    _OV(v) s, bb, err, hi;
    s = _OV(sub)(a.hi, b.hi);
    _OV_FLAG(_OV(gt)(_OV(abs)(s), _OV_K(OSTRELL_DBL_MAX)));
    bb = _OV(sub)(s, a.hi);
    err = _OV(sub)(_OV(sub)(a.hi, _OV(sub)(s, bb)), _OV(add)(b.hi, bb));
    err = _OV(add)(err, _OV(sub)(a.lo, b.lo));
    hi = _OV(add)(s, err);
    return _OV(dd_make)(hi, _OV(sub)(err, _OV(sub)(hi, s)));
}

/* ostrell_mul; an infinite p is flagged (the scalar returns (p, +0)). */
_OV_FN(_OV(dd)) _OV(dd_mul)(_OV(dd) a, _OV(dd) b, _OV(m)* bad)
{
    _OV(v) p, err, hi;
    p = _OV(mul)(a.hi, b.hi);
    _OV_FLAG(_OV(gt)(_OV(abs)(p), _OV_K(OSTRELL_DBL_MAX)));
    err = _OV(mul_err)(a.hi, b.hi, p, bad);
    err = _OV(add)(err, _OV(add)(_OV(mul)(a.hi, b.lo), _OV(mul)(a.lo, b.hi)));
    hi = _OV(add)(p, err);
    return _OV(dd_make)(hi, _OV(sub)(err, _OV(sub)(hi, p)));
}

/* ostrell_div; a zero or infinite divisor and an infinite q1 are flagged. */
_OV_FN(_OV(dd)) _OV(dd_div)(_OV(dd) a, _OV(dd) b, _OV(m)* bad)
{
    const _OV(v) max = _OV_K(OSTRELL_DBL_MAX);
    _OV(v) q1, p_hi, p_lo, s, bb, e, r_hi, r_lo, q2, hi;
    _OV_FLAG(_OV(and)(_OV(eq)(b.hi, _OV_K(0.0)), _OV(eq)(b.lo, _OV_K(0.0))));
    _OV_FLAG(_OV(gt)(_OV(abs)(b.hi), max));
    q1 = _OV(div)(a.hi, b.hi);
    _OV_FLAG(_OV(gt)(_OV(abs)(q1), max));
    p_hi = _OV(mul)(b.hi, q1);
    p_lo = _OV(add)(_OV(mul_err)(q1, b.hi, p_hi, bad), _OV(mul)(q1, b.lo));
    s = _OV(sub)(a.hi, p_hi);
    bb = _OV(sub)(s, a.hi);
    e = _OV(add)(_OV(sub)(a.hi, _OV(sub)(s, bb)), _OV(sub)(_OV(xor)(p_hi, _OV_K(-0.0)), bb));
    e = _OV(add)(_OV(sub)(a.lo, p_lo), e);
    r_hi = _OV(add)(s, e);
    r_lo = _OV(sub)(e, _OV(sub)(r_hi, s));
    q2 = _OV(div)(r_hi, b.hi);
    hi = _OV(add)(q1, q2);
    return _OV(dd_make)(hi, _OV(add)(_OV(sub)(q2, _OV(sub)(hi, q1)), _OV(div)(r_lo, b.hi)));
}

/* ---- square root ----------------------------------------------------------- */

/* ostrell_sqrt on 0 < hi <= DBL_MAX; other lanes flagged. */
_OV_FN(_OV(dd)) _OV(sqrt_rows)(_OV(dd) x, _OV(m)* bad)
{
    _OV(v) r, y, y_lo, y2, y2_lo, d, cr, t, res_hi;
    _OV_FLAG(_OV(ngt)(x.hi, _OV_K(0.0)));
    _OV_FLAG(_OV(gt)(x.hi, _OV_K(OSTRELL_DBL_MAX)));
    r = _OV(div)(_OV_K(1.0), _OV(sqrt)(x.hi));
    y = _OV(mul)(x.hi, r);
    y_lo = _OV(add)(_OV(mul_err)(x.hi, r, y, bad), _OV(mul)(x.lo, r));
    y2 = _OV(mul)(y, y);
    y2_lo = _OV(add)(_OV(mul_err)(y, y, y2, bad), _OV(mul)(_OV(mul)(_OV_K(2.0), y), y_lo));
    d = _OV(add)(_OV(sub)(_OV(sub)(x.hi, y2), y2_lo), x.lo);
    cr = _OV(mul)(_OV(mul)(d, _OV_K(0.5)), r);
    t = _OV(add)(y_lo, cr);
    res_hi = _OV(add)(y, t);
    return _OV(dd_make)(res_hi, _OV(sub)(t, _OV(sub)(res_hi, y)));
}

/* ---- exponential ----------------------------------------------------------- */

/* _ostrell_exp_reduced. */
_OV_FN(_OV(dd)) _OV(exp_reduced)(_OV(dd) r, _OV(m)* bad)
{
    _OV(dd) one = _OV(dd_make)(_OV_K(1.0), _OV_K(0.0));
    _OV(dd) s = _OV(dd_raw)(_ostrell_exp_coefs_n16[10]);
    int j;
    for (j = 9; j >= 0; --j)
        s = _OV(dd_add)(_OV(dd_raw)(_ostrell_exp_coefs_n16[j]), _OV(dd_mul)(s, r, bad), bad);
    return _OV(dd_add)(one, _OV(dd_mul)(r, _OV(dd_add)(one, _OV(dd_mul)(r, s, bad), bad), bad), bad);
}

/* ostrell_exp for -745.13... <= hi <= 709.78... with 2^m normal; m and i as
 * floor(k / 16) and k - 16 m in doubles (exact), ldexp as a product by 2^m
 * (one rounding, as ldexp's).  Other lanes flagged, and those where r
 * exceeds 1 (only an unnormalised or non-finite low part does that). */
_OV_FN(_OV(dd)) _OV(exp_rows)(_OV(dd) x, _OV(m)* bad)
{
    _OV(v) k, m, i, scale;
    _OV(dd) r, res, tbl;
    _OV(m) unflagged = _OV(none)(); /* |r| <= 1: see beyond_one */
    _OV_FLAG(_OV(nle)(x.hi, _OV_K(0x1.62e42fefa39efp+9)));
    _OV_FLAG(_OV(lt)(x.hi, _OV_K(-0x1.74910d52d3051p+9)));
    k = _OV(round)(_OV(mul)(x.hi, _OV_K(0x1.71547652b82fep+4)));
    r = _OV(dd_sub)(x, _OV(dd_mul)(_OV(dd_make)(k, _OV_K(0.0)), _OV(dd_raw)(_ostrell_ln2_16_raw), bad), bad);
    _OV_FLAG(_OV(beyond_one)(r));
    r = _OV(exp_reduced)(r, &unflagged);
    m = _OV(floor)(_OV(mul)(k, _OV_K(0.0625)));
    i = _OV(sub)(k, _OV(mul)(m, _OV_K(16.0)));
    tbl = _OV(dd_make)(_OV(gather16)(&_ostrell_exp_table[0][0], i), _OV(gather16)(&_ostrell_exp_table[0][1], i));
    res = _OV(dd_mul)(r, tbl, &unflagged);
    (void)unflagged;
    _OV_FLAG(_OV(or)(_OV(lt)(m, _OV_K(-1022.0)), _OV(gt)(m, _OV_K(1023.0))));
    scale = _OV(pow2)(m);
    return _OV(dd_make)(_OV(mul)(res.hi, scale), _OV(mul)(res.lo, scale));
}

/* ---- logarithm ------------------------------------------------------------- */

/* ostrell_log on 0 < hi <= DBL_MAX from the seed log(hi) computed per lane;
 * the lanes whose first correction exceeds 0.001 (a second one follows in
 * the scalar) are flagged, as are other arguments. */
_OV_FN(_OV(dd)) _OV(log_rows)(_OV(dd) x, _OV(v) seed, _OV(m)* bad)
{
    _OV(dd) y, ey, delta;
    _OV_FLAG(_OV(ngt)(x.hi, _OV_K(0.0)));
    _OV_FLAG(_OV(gt)(x.hi, _OV_K(OSTRELL_DBL_MAX)));
    y = _OV(dd_make)(seed, _OV_K(0.0));
    ey = _OV(exp_rows)(y, bad);
    delta = _OV(dd_mul)(_OV(dd_make)(_OV_K(2.0), _OV_K(0.0)),
                        _OV(dd_div)(_OV(dd_sub)(x, ey, bad), _OV(dd_add)(x, ey, bad), bad), bad);
    y = _OV(dd_add)(y, delta, bad);
    _OV_FLAG(_OV(gt)(_OV(abs)(delta.hi), _OV_K(0x1.0624dd2f1a9fcp-10)));
    return y;
}

/* ---- sine and cosine ------------------------------------------------------- */

/* _ostrell_sin_reduced and _ostrell_cos_reduced. */
_OV_FN(_OV(dd)) _OV(sin_reduced)(_OV(dd) r, _OV(dd) rsq, _OV(m)* bad)
{
    _OV(dd) s = _OV(dd_raw)(_ostrell_sin_coefs_n4[11]);
    int j;
    for (j = 10; j >= 0; --j)
        s = _OV(dd_add)(_OV(dd_raw)(_ostrell_sin_coefs_n4[j]), _OV(dd_mul)(s, rsq, bad), bad);
    s = _OV(dd_add)(_OV(dd_make)(_OV_K(1.0), _OV_K(0.0)), _OV(dd_mul)(rsq, s, bad), bad);
    return _OV(dd_mul)(r, s, bad);
}
_OV_FN(_OV(dd)) _OV(cos_reduced)(_OV(dd) rsq, _OV(m)* bad)
{
    _OV(dd) s = _OV(dd_raw)(_ostrell_cos_coefs_n4[11]);
    int j;
    for (j = 10; j >= 0; --j)
        s = _OV(dd_add)(_OV(dd_raw)(_ostrell_cos_coefs_n4[j]), _OV(dd_mul)(s, rsq, bad), bad);
    return _OV(dd_add)(_OV(dd_make)(_OV_K(1.0), _OV_K(0.0)), _OV(dd_mul)(rsq, s, bad), bad);
}

/* x mod 4 for an integral x below 2^62 in magnitude, in [0, 4): exact. */
_OV_FN(_OV(v)) _OV(mod4)(_OV(v) x)
{
    return _OV(sub)(x, _OV(mul)(_OV(floor)(_OV(mul)(x, _OV_K(0.25))), _OV_K(4.0)));
}

/* ostrell_sincos for |hi| <= 9e18 (no fold).  Both branches of the reduction
 * run as one: k = (round(xs_hi), +0) below 2^52, (xs_hi, round(xs_lo)) from
 * there, its quadrant summed from the parts' residues mod 4.  The third
 * branch (an unnormalised x, NaN result) is flagged, and so is an r above 1
 * in either part (the scalar's NaN r among them; finite ones come only from
 * unnormalised arguments). */
_OV_FN(void) _OV(sincos_rows)(_OV(dd) x, _OV(dd)* s, _OV(dd)* c, _OV(m)* bad)
{
    _OV(dd) xs, k, r, rsq, sin_r, cos_r;
    _OV(v) q;
    _OV(m) small, q1, q2, q3;
    _OV(m) unflagged = _OV(none)(); /* |r| <= 1: see beyond_one */
    _OV_FLAG(_OV(nle)(_OV(abs)(x.hi), _OV_K(0x1.f399b1438a1p+62)));
    xs = _OV(dd_mul)(x, _OV(dd_raw)(_ostrell_two_over_pi_raw), bad);
    small = _OV(lt)(_OV(abs)(xs.hi), _OV_K(0x1p52));
    _OV_FLAG(_OV(and)(_OV(nlt)(_OV(abs)(xs.hi), _OV_K(0x1p52)),
                      _OV(or)(_OV(nlt)(_OV(abs)(xs.hi), _OV_K(0x1.8p62)),
                              _OV(nlt)(_OV(abs)(xs.lo), _OV_K(0x1p61)))));
    k = _OV(dd_make)(_OV(select)(small, xs.hi, _OV(round)(xs.hi)),
                     _OV(select)(small, _OV(round)(xs.lo), _OV_K(0.0)));
    r = _OV(dd_sub)(x, _OV(dd_mul)(k, _OV(dd_raw)(_ostrell_pi_over_2_raw), bad), bad);
    _OV_FLAG(_OV(beyond_one)(r)); /* includes the NaN r of the scalar */
    q = _OV(add)(_OV(mod4)(k.hi), _OV(mod4)(k.lo));
    q = _OV(select)(_OV(ge)(q, _OV_K(4.0)), q, _OV(sub)(q, _OV_K(4.0)));
    rsq = _OV(dd_mul)(r, r, &unflagged);
    sin_r = _OV(sin_reduced)(r, rsq, &unflagged);
    cos_r = _OV(cos_reduced)(rsq, &unflagged);
    (void)unflagged;
    q1 = _OV(eq)(q, _OV_K(1.0));
    q2 = _OV(eq)(q, _OV_K(2.0));
    q3 = _OV(eq)(q, _OV_K(3.0));
    /* q = 0: (sin, cos); 1: (cos, -sin); 2: (-sin, -cos); 3: (-cos, sin) */
    *s = _OV(dd_neg_if)(_OV(or)(q2, q3), _OV(dd_select)(_OV(or)(q1, q3), sin_r, cos_r));
    *c = _OV(dd_neg_if)(_OV(or)(q1, q2), _OV(dd_select)(_OV(or)(q1, q3), cos_r, sin_r));
}

_OV_FN(_OV(dd)) _OV(sin_rows)(_OV(dd) x, _OV(m)* bad)
{
    _OV(dd) s, c;
    _OV(sincos_rows)(x, &s, &c, bad);
    return s;
}
_OV_FN(_OV(dd)) _OV(cos_rows)(_OV(dd) x, _OV(m)* bad)
{
    _OV(dd) s, c;
    _OV(sincos_rows)(x, &s, &c, bad);
    return c;
}

/* ---- loops over the rows ----------------------------------------------------- */

/* Whole blocks through the vector body, a block with a flagged lane and the
 * tail through the scalar row loop _ostrell_batch_rows_NAME (out of line, so
 * the upper vector state is cleared before scalar code runs). */
#define _OV_UNARY_LOOP(name)                                                   \
    static _OSTRELL_TGT void _OV(batch_##name)(const double* x, double* out, size_t n) \
    {                                                                          \
        const size_t lanes = (size_t)_OV(lanes);                               \
        size_t i = 0;                                                          \
        for (; i + lanes <= n; i += lanes) {                                   \
            _OV(m) bad = _OV(none)();                                          \
            _OV(dd) a, res;                                                    \
            _OV(load_rows)(x + 2 * i, &a.hi, &a.lo);                           \
            res = _OV(name##_rows)(a, &bad);                                   \
            if (_OV(any)(bad))                                                 \
                _ostrell_batch_rows_##name(x + 2 * i, out + 2 * i, lanes);     \
            else                                                               \
                _OV(store_rows)(out + 2 * i, res.hi, res.lo);                  \
        }                                                                      \
        if (i < n)                                                             \
            _ostrell_batch_rows_##name(x + 2 * i, out + 2 * i, n - i);         \
    }
_OV_UNARY_LOOP(sqrt)
_OV_UNARY_LOOP(exp)
_OV_UNARY_LOOP(sin)
_OV_UNARY_LOOP(cos)
#undef _OV_UNARY_LOOP

static _OSTRELL_TGT void _OV(batch_sincos)(const double* x, double* s, double* c, size_t n)
{
    const size_t lanes = (size_t)_OV(lanes);
    size_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        _OV(m) bad = _OV(none)();
        _OV(dd) a, rs, rc;
        _OV(load_rows)(x + 2 * i, &a.hi, &a.lo);
        _OV(sincos_rows)(a, &rs, &rc, &bad);
        if (_OV(any)(bad)) {
            _ostrell_batch_rows_sincos(x + 2 * i, s + 2 * i, c + 2 * i, lanes);
        } else {
            _OV(store_rows)(s + 2 * i, rs.hi, rs.lo);
            _OV(store_rows)(c + 2 * i, rc.hi, rc.lo);
        }
    }
    if (i < n)
        _ostrell_batch_rows_sincos(x + 2 * i, s + 2 * i, c + 2 * i, n - i);
}

/* The seeds log(hi) of up to _OSTRELL_LOG_CHUNK rows come first from the
 * scalar libm (out of line, in the rows' layout), then the vector blocks. */
static _OSTRELL_TGT void _OV(batch_log)(const double* x, double* out, size_t n)
{
    const size_t lanes = (size_t)_OV(lanes);
    double seeds[2 * _OSTRELL_LOG_CHUNK];
    size_t i = 0, j, len;
    while (i + lanes <= n) {
        len = n - i < _OSTRELL_LOG_CHUNK ? (n - i) / lanes * lanes : _OSTRELL_LOG_CHUNK;
        _ostrell_batch_log_seeds(x + 2 * i, seeds, len);
        for (j = 0; j < len; j += lanes) {
            _OV(m) bad = _OV(none)();
            _OV(dd) a, res;
            _OV(v) seed, unused;
            _OV(load_rows)(x + 2 * (i + j), &a.hi, &a.lo);
            _OV(load_rows)(seeds + 2 * j, &seed, &unused);
            res = _OV(log_rows)(a, seed, &bad);
            if (_OV(any)(bad))
                _ostrell_batch_rows_log(x + 2 * (i + j), out + 2 * (i + j), lanes);
            else
                _OV(store_rows)(out + 2 * (i + j), res.hi, res.lo);
        }
        i += len;
    }
    if (i < n)
        _ostrell_batch_rows_log(x + 2 * i, out + 2 * i, n - i);
}

#undef _OV_FLAG
#undef _OV_K
#undef _OV_FN
#undef _OV
#undef _OV_CAT
#undef _OV_CAT2
