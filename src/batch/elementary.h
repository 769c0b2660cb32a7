/* batch/elementary.h: the batch elementary functions (sqrt, exp, log, pow,
 * sin, cos, sincos, tan, sinh, cosh, tanh, atan, atan2, asin, acos, floor,
 * ceil, trunc, round, fmod), one generic body per function on the layer of
 * simd/simd.h.
 *
 * A generic body: no include guard; included once per set of primitives
 * (single vectors, and the paired sets of simd/x2.h) with _OSV,
 * _OSV_TARGET and _OSV_LANES defined (see simd/simd.h), after
 * simd/dd.h.  Defines _OSV(batch_NAME) for each; the kernel table of each
 * instruction set's source picks the set each function runs on.
 *
 * Each body is the scalar function of ostrell.h / ostrell_math.h lane by
 * lane, the same binary64 operations in the same order.  Lanes where the
 * scalar code takes a branch the body does not follow are flagged and their
 * block is recomputed by the scalar function (simd/simd.h, rules 3, 4):
 * special arguments, ldexp outside the normal range, the trigonometric fold
 * and the reduction of unnormalised arguments, log's second correction, the
 * special cases of pow and the inverse functions.  The libm seeds (log,
 * atan) come from the libm, row by row, out of line.
 */

#define _OSV_INLINE static inline _OSV_TARGET _OSTRELL_ALWAYS_INLINE
#define _OSV_FLAG(cond) (*m = _osv_mor(*m, (cond)))

/* a * b hidden from the optimiser: never fused into the addition it feeds.
 * Every product of these bodies goes through it, since a body's result may
 * feed another's additions (exp's in log). */
_OSV_INLINE _osv_d _OSV(prod)(_osv_d a, _osv_d b) { return _osv_opaque(_osv_mul(a, b)); }

_OSV_INLINE _osv_dd _OSV(dd_of)(_osv_d hi, _osv_d lo)
{
    _osv_dd r;
    r.hi = hi;
    r.lo = lo;
    return r;
}
/* The constant pair raw = {hi, lo} in every lane. */
_OSV_INLINE _osv_dd _OSV(dd_raw)(const double* raw) { return _OSV(dd_of)(_osv_set1(raw[0]), _osv_set1(raw[1])); }
/* b in the lanes of sel, a elsewhere. */
_OSV_INLINE _osv_dd _OSV(dd_blend)(_osv_m sel, _osv_dd a, _osv_dd b)
{
    return _OSV(dd_of)(_osv_blend(sel, a.hi, b.hi), _osv_blend(sel, a.lo, b.lo));
}
/* ostrell_neg (both signs flipped) in the lanes of sel. */
_OSV_INLINE _osv_dd _OSV(dd_neg_if)(_osv_m sel, _osv_dd a)
{
    _osv_d s = _osv_blend(sel, _osv_zero(), _osv_set1(-0.0));
    return _OSV(dd_of)(_osv_xor(a.hi, s), _osv_xor(a.lo, s));
}

/* C round: nearest integer, halves away from zero; x - trunc(x) is exact and
 * the sign of a zero is trunc's. */
_OSV_INLINE _osv_d _OSV(round_away)(_osv_d x)
{
    _osv_d t = _osv_trunc(x);
    _osv_d away = _osv_add(t, _osv_xor(_osv_set1(1.0), _osv_signbit(x)));
    return _osv_blend(_osv_ge(_osv_abs(_osv_sub(x, t)), _osv_set1(0.5)), t, away);
}

/* Lanes where |hi| or |lo| exceeds 1 or is NaN.  Polynomials and products
 * on pairs bounded so, with coefficients below 1, keep every sum, product
 * and split far from overflow and from the 6.7e299 rescue: no kernel branch
 * can be taken, so their steps need no flags of their own (their mask goes
 * to a local that is dropped). */
_OSV_INLINE _osv_m _OSV(beyond_one)(_osv_dd a)
{
    return _osv_mor(_osv_nle(_osv_abs(a.hi), _osv_set1(1.0)), _osv_nle(_osv_abs(a.lo), _osv_set1(1.0)));
}

/* ---- square root ----------------------------------------------------------- */

/* ostrell_sqrt for 0 < hi <= DBL_MAX; other lanes flagged. */
_OSV_INLINE _osv_dd _OSV(sqrt_block)(_osv_dd x, _osv_m* m)
{
    _osv_d r, y, y_lo, y2, y2_lo, d, cr, t, res_hi;
    _OSV_FLAG(_osv_ngt(x.hi, _osv_zero()));
    _OSV_FLAG(_osv_gt(x.hi, _osv_set1(OSTRELL_DBL_MAX)));
    r = _osv_div(_osv_set1(1.0), _osv_sqrt(x.hi));
    y = _OSV(prod)(x.hi, r);
    y_lo = _osv_add(_OSV(mul_err)(x.hi, r, y, m), _OSV(prod)(x.lo, r));
    y2 = _OSV(prod)(y, y);
    _OSV_FLAG(_osv_gt(_osv_abs(y2), _osv_set1(OSTRELL_DBL_MAX))); /* the x/4 branch near DBL_MAX */
    y2_lo = _osv_add(_OSV(mul_err)(y, y, y2, m), _OSV(prod)(_OSV(prod)(_osv_set1(2.0), y), y_lo));
    d = _osv_add(_osv_sub(_osv_sub(x.hi, y2), y2_lo), x.lo);
    cr = _OSV(prod)(_OSV(prod)(d, _osv_set1(0.5)), r);
    t = _osv_add(y_lo, cr);
    res_hi = _osv_add(y, t);
    return _OSV(dd_of)(res_hi, _osv_sub(t, _osv_sub(res_hi, y)));
}

/* ---- exponential ----------------------------------------------------------- */

/* _ostrell_exp_reduced; r bounded by 1 (no flags). */
_OSV_INLINE _osv_dd _OSV(exp_reduced)(_osv_dd r)
{
    _osv_m unflagged = _osv_mzero();
    _osv_dd one = _OSV(dd_of)(_osv_set1(1.0), _osv_zero());
    _osv_dd s = _OSV(dd_raw)(_ostrell_exp_coefs_n16[10]);
    int j;
    for (j = 9; j >= 0; --j)
        s = _OSV(dd_add)(_OSV(dd_raw)(_ostrell_exp_coefs_n16[j]), _OSV(dd_mul)(s, r, &unflagged));
    s = _OSV(dd_add)(one, _OSV(dd_mul)(r, s, &unflagged));
    s = _OSV(dd_add)(one, _OSV(dd_mul)(r, s, &unflagged));
    (void)unflagged;
    return s;
}

/* ostrell_exp for -745.13... <= hi <= 709.78... and 2^m normal: m and i as
 * floor(k / 16) and k - 16 m in doubles (exact), ldexp as the product by
 * 2^m (one rounding, as ldexp's).  Flagged: other arguments, other m, and a
 * reduced argument above 1 (only an unnormalised or non-finite low part
 * makes one). */
_OSV_INLINE _osv_dd _OSV(exp_block)(_osv_dd x, _osv_m* m)
{
    _osv_m unflagged = _osv_mzero();
    _osv_d k, e, i, scale;
    _osv_dd r, res, row;
    _OSV_FLAG(_osv_nle(x.hi, _osv_set1(0x1.62e42fefa39efp+9)));  /* 709.78, 0x40862E42FEFA39EF */
    _OSV_FLAG(_osv_lt(x.hi, _osv_set1(-0x1.74910d52d3051p+9))); /* -745.13, 0xC0874910D52D3051 */
    k = _OSV(round_away)(_OSV(prod)(x.hi, _osv_set1(0x1.71547652b82fep+4))); /* 16/ln2 */
    r = _OSV(dd_sub)(x, _OSV(dd_mul)(_OSV(dd_of)(k, _osv_zero()), _OSV(dd_raw)(_ostrell_ln2_16_raw), m));
    _OSV_FLAG(_OSV(beyond_one)(r));
    r = _OSV(exp_reduced)(r);
    e = _osv_floor(_OSV(prod)(k, _osv_set1(0.0625)));
    i = _osv_sub(k, _OSV(prod)(e, _osv_set1(16.0)));
    row = _OSV(dd_of)(_osv_gather16(&_ostrell_exp_table[0][0], i), _osv_gather16(&_ostrell_exp_table[0][1], i));
    res = _OSV(dd_mul)(r, row, &unflagged);
    (void)unflagged;
    _OSV_FLAG(_osv_mor(_osv_lt(e, _osv_set1(-1022.0)), _osv_gt(e, _osv_set1(1023.0))));
    scale = _osv_pow2(e);
    return _OSV(dd_of)(_OSV(prod)(res.hi, scale), _OSV(prod)(res.lo, scale)); /* log adds to these */
}

/* ---- logarithm ------------------------------------------------------------- */

/* ostrell_log for 0 < hi <= DBL_MAX from the seed log(hi), computed per row
 * by the libm beforehand.  Flagged: other arguments, and lanes whose first
 * correction exceeds 0.001 (the scalar corrects a second time). */
_OSV_INLINE _osv_dd _OSV(log_block)(_osv_dd x, _osv_d seed, _osv_m* m)
{
    _osv_dd y, ey, delta;
    _OSV_FLAG(_osv_ngt(x.hi, _osv_zero()));
    _OSV_FLAG(_osv_gt(x.hi, _osv_set1(OSTRELL_DBL_MAX)));
    y = _OSV(dd_of)(seed, _osv_zero());
    ey = _OSV(exp_block)(y, m);
    delta = _OSV(dd_div)(_OSV(dd_sub)(x, ey), _OSV(dd_add)(x, ey), m);
    delta = _OSV(dd_mul)(_OSV(dd_of)(_osv_set1(2.0), _osv_zero()), delta, m);
    y = _OSV(dd_add)(y, delta);
    _OSV_FLAG(_osv_gt(_osv_abs(delta.hi), _osv_set1(0x1.0624dd2f1a9fcp-10))); /* 0.001 */
    return y;
}

/* ---- power ------------------------------------------------------------------ */

/* ostrell_pow from the seed log|base_hi|: e^(exp · log|base|), negated for a
 * negative base and an odd integral exponent.  Flagged: a zero exponent, a
 * zero high part of the base, a negative base with an exponent that is not
 * an integer the scalar accepts (|e| <= 9e18, zero low part), and the flags
 * of log, the product and exp. */
_OSV_INLINE _osv_dd _OSV(pow_block)(_osv_dd base, _osv_dd e, _osv_d seed, _osv_m* m)
{
    _osv_m neg = _osv_lt(base.hi, _osv_zero());
    _osv_d r = _OSV(round_away)(e.hi);
    _osv_m odd = _osv_eq(_osv_sub(r, _OSV(prod)(_osv_floor(_OSV(prod)(r, _osv_set1(0.5))), _osv_set1(2.0))),
                         _osv_set1(1.0));
    _osv_dd res;
    _OSV_FLAG(_osv_mand(_osv_eq(e.hi, _osv_zero()), _osv_eq(e.lo, _osv_zero())));
    _OSV_FLAG(_osv_eq(base.hi, _osv_zero()));
    _OSV_FLAG(_osv_mand(neg, _osv_mor(_osv_mor(_osv_ne(e.hi, r), _osv_ne(e.lo, _osv_zero())),
                                      _osv_nle(_osv_abs(r), _osv_set1(0x1.f399b1438a1p+62)))));
    res = _OSV(log_block)(_OSV(dd_neg_if)(neg, base), seed, m);
    res = _OSV(exp_block)(_OSV(dd_mul)(e, res, m), m);
    return _OSV(dd_neg_if)(_osv_mand(neg, odd), res);
}

/* ---- sine and cosine ------------------------------------------------------- */

/* _ostrell_sin_reduced and _ostrell_cos_reduced together, r bounded by 1
 * (no flags).  The two Horner chains are independent and of equal length;
 * stepping them in one loop lets their latencies overlap. */
_OSV_INLINE void _OSV(sincos_reduced)(_osv_dd r, _osv_dd rsq, _osv_dd* sin_r, _osv_dd* cos_r)
{
    _osv_m unflagged = _osv_mzero();
    _osv_dd one = _OSV(dd_of)(_osv_set1(1.0), _osv_zero());
    _osv_dd s = _OSV(dd_raw)(_ostrell_sin_coefs_n4[11]);
    _osv_dd c = _OSV(dd_raw)(_ostrell_cos_coefs_n4[11]);
    int j;
    for (j = 10; j >= 0; --j) {
        s = _OSV(dd_add)(_OSV(dd_raw)(_ostrell_sin_coefs_n4[j]), _OSV(dd_mul)(s, rsq, &unflagged));
        c = _OSV(dd_add)(_OSV(dd_raw)(_ostrell_cos_coefs_n4[j]), _OSV(dd_mul)(c, rsq, &unflagged));
    }
    s = _OSV(dd_add)(one, _OSV(dd_mul)(rsq, s, &unflagged));
    *cos_r = _OSV(dd_add)(one, _OSV(dd_mul)(rsq, c, &unflagged));
    *sin_r = _OSV(dd_mul)(r, s, &unflagged);
    (void)unflagged;
}

/* x mod 4 in [0, 4) for an integral |x| < 2^62: every step exact. */
_OSV_INLINE _osv_d _OSV(mod4)(_osv_d x)
{
    return _osv_sub(x, _OSV(prod)(_osv_floor(_OSV(prod)(x, _osv_set1(0.25))), _osv_set1(4.0)));
}

/* ostrell_sincos for |hi| <= 9e18 (no fold).  The reduction's two straight
 * branches run as one: k = (round(xs_hi), +0) below 2^52, (xs_hi,
 * round(xs_lo)) from there on, the quadrant summed from the parts' residues
 * mod 4 (k = xs_hi + round(xs_lo) exactly in the scalar's 64 bits).  The
 * third branch (NaN) is flagged, and so is r beyond 1 in either part (the
 * scalar's NaN r among them; finite ones only from unnormalised x). */
_OSV_INLINE void _OSV(sincos_block)(_osv_dd x, _osv_dd* s, _osv_dd* c, _osv_m* m)
{
    _osv_dd xs, k, r, rsq, sin_r, cos_r;
    _osv_d q, axs;
    _osv_m small, odd;
    _OSV_FLAG(_osv_nle(_osv_abs(x.hi), _osv_set1(0x1.f399b1438a1p+62))); /* 9e18, 0x43DF399B1438A100 */
    xs = _OSV(dd_mul)(x, _OSV(dd_raw)(_ostrell_two_over_pi_raw), m);
    axs = _osv_abs(xs.hi);
    small = _osv_lt(axs, _osv_set1(0x1p52));
    _OSV_FLAG(_osv_mand(_osv_nlt(axs, _osv_set1(0x1p52)),
                        _osv_mor(_osv_nlt(axs, _osv_set1(0x1.8p62)),
                                 _osv_nlt(_osv_abs(xs.lo), _osv_set1(0x1p61)))));
    k = _OSV(dd_of)(_osv_blend(small, xs.hi, _OSV(round_away)(xs.hi)),
                    _osv_blend(small, _OSV(round_away)(xs.lo), _osv_zero()));
    r = _OSV(dd_sub)(x, _OSV(dd_mul)(k, _OSV(dd_raw)(_ostrell_pi_over_2_raw), m));
    _OSV_FLAG(_OSV(beyond_one)(r));
    q = _osv_add(_OSV(mod4)(k.hi), _OSV(mod4)(k.lo));
    q = _osv_blend(_osv_ge(q, _osv_set1(4.0)), q, _osv_sub(q, _osv_set1(4.0)));
    {
        _osv_m unflagged = _osv_mzero();
        rsq = _OSV(dd_mul)(r, r, &unflagged);
        (void)unflagged;
    }
    _OSV(sincos_reduced)(r, rsq, &sin_r, &cos_r);
    /* q = 0: (sin, cos); 1: (cos, -sin); 2: (-sin, -cos); 3: (-cos, sin) */
    odd = _osv_mor(_osv_eq(q, _osv_set1(1.0)), _osv_eq(q, _osv_set1(3.0)));
    *s = _OSV(dd_neg_if)(_osv_ge(q, _osv_set1(2.0)), _OSV(dd_blend)(odd, sin_r, cos_r));
    *c = _OSV(dd_neg_if)(_osv_mand(_osv_ge(q, _osv_set1(1.0)), _osv_le(q, _osv_set1(2.0))),
                         _OSV(dd_blend)(odd, cos_r, sin_r));
}

_OSV_INLINE _osv_dd _OSV(sin_block)(_osv_dd x, _osv_m* m)
{
    _osv_dd s, c;
    _OSV(sincos_block)(x, &s, &c, m);
    return s;
}
_OSV_INLINE _osv_dd _OSV(cos_block)(_osv_dd x, _osv_m* m)
{
    _osv_dd s, c;
    _OSV(sincos_block)(x, &s, &c, m);
    return c;
}

/* ostrell_tan: sin/cos by the double-double division, which flags every
 * non-finite quotient (the zero cosine among them). */
_OSV_INLINE _osv_dd _OSV(tan_block)(_osv_dd x, _osv_m* m)
{
    _osv_dd s, c;
    _OSV(sincos_block)(x, &s, &c, m);
    return _OSV(dd_div)(s, c, m);
}

/* ---- hyperbolic functions ------------------------------------------------- */

/* The scalar functions' two branches run side by side and are blended: a
 * branch's flags count only in the lanes that take it.  The series branch
 * (|hi| < 0.0001) is evaluated only when some lane takes it. */
#define _OSTRELL_HYP_SMALL 0x1.a36e2eb1c432dp-14 /* 0.0001, 0x3F1A36E2EB1C432D */

/* x + x^3 / d3 + x^5 · c5 (sinh: divisions by 6 and 120; tanh: by -3, then
 * the product by 2/15), the step order of the scalar series. */
_OSV_INLINE _osv_dd _OSV(odd_series)(_osv_dd x, double d3, double d5, int div5, _osv_m* m)
{
    _osv_dd x2 = _OSV(dd_mul)(x, x, m);
    _osv_dd x3 = _OSV(dd_mul)(x2, x, m);
    _osv_dd x5 = _OSV(dd_mul)(x3, x2, m);
    _osv_dd term2 = _OSV(dd_div)(x3, _OSV(dd_of)(_osv_set1(d3), _osv_zero()), m);
    _osv_dd c5 = _OSV(dd_of)(_osv_set1(d5), _osv_zero());
    _osv_dd term3 = div5 ? _OSV(dd_div)(x5, c5, m) : _OSV(dd_mul)(x5, c5, m);
    return _OSV(dd_add)(_OSV(dd_add)(x, term2), term3);
}

/* The series in the lanes of small (flags there only) blended into big. */
_OSV_INLINE _osv_dd _OSV(with_series)(_osv_dd x, _osv_m small, _osv_dd big, double d3, double d5,
                                      int div5, _osv_m* m)
{
    _osv_m ms = _osv_mzero();
    _osv_dd series;
    if (!_osv_many(small))
        return big;
    series = _OSV(odd_series)(x, d3, d5, div5, &ms);
    _OSV_FLAG(_osv_mand(ms, small));
    return _OSV(dd_blend)(small, big, series);
}

/* e^x and 1 / e^x, their flags into *me. */
_OSV_INLINE void _OSV(exp_pair)(_osv_dd x, _osv_dd* ex, _osv_dd* emx, _osv_m* me)
{
    *ex = _OSV(exp_block)(x, me);
    *emx = _OSV(dd_div)(_OSV(dd_of)(_osv_set1(1.0), _osv_zero()), *ex, me);
}

/* ostrell_sinh; NaN and infinite arguments flagged. */
_OSV_INLINE _osv_dd _OSV(sinh_block)(_osv_dd x, _osv_m* m)
{
    _osv_d ax = _osv_abs(x.hi);
    _osv_m me = _osv_mzero();
    _osv_dd ex, emx, big;
    _OSV_FLAG(_osv_nle(ax, _osv_set1(OSTRELL_DBL_MAX)));
    _OSV(exp_pair)(x, &ex, &emx, &me);
    _OSV_FLAG(_osv_mand(me, _osv_nlt(ax, _osv_set1(_OSTRELL_HYP_SMALL))));
    big = _OSV(dd_mul)(_OSV(dd_sub)(ex, emx), _OSV(dd_of)(_osv_set1(0.5), _osv_zero()), m);
    return _OSV(with_series)(x, _osv_lt(ax, _osv_set1(_OSTRELL_HYP_SMALL)), big, 6.0, 120.0, 1, m);
}

/* ostrell_cosh; NaN and infinite arguments flagged. */
_OSV_INLINE _osv_dd _OSV(cosh_block)(_osv_dd x, _osv_m* m)
{
    _osv_dd ex, emx;
    _OSV_FLAG(_osv_nle(_osv_abs(x.hi), _osv_set1(OSTRELL_DBL_MAX)));
    _OSV(exp_pair)(x, &ex, &emx, m);
    return _OSV(dd_mul)(_OSV(dd_add)(ex, emx), _OSV(dd_of)(_osv_set1(0.5), _osv_zero()), m);
}

/* ostrell_tanh; NaN and infinite arguments flagged, and lanes where e^x or
 * its reciprocal is not finite (exp flags those itself). */
_OSV_INLINE _osv_dd _OSV(tanh_block)(_osv_dd x, _osv_m* m)
{
    _osv_d ax = _osv_abs(x.hi);
    _osv_m big_lanes = _osv_nlt(ax, _osv_set1(_OSTRELL_HYP_SMALL));
    _osv_m mb = _osv_mzero();
    _osv_dd ex, emx, big;
    _OSV_FLAG(_osv_nle(ax, _osv_set1(OSTRELL_DBL_MAX)));
    _OSV(exp_pair)(x, &ex, &emx, &mb);
    big = _OSV(dd_div)(_OSV(dd_sub)(ex, emx), _OSV(dd_add)(ex, emx), &mb);
    _OSV_FLAG(_osv_mand(mb, big_lanes));
    return _OSV(with_series)(x, _osv_lt(ax, _osv_set1(_OSTRELL_HYP_SMALL)), big, -3.0,
                             0x1.1111111111111p-3 /* 2/15, 0x3FC1111111111111 */, 0, m);
}
#undef _OSTRELL_HYP_SMALL

/* ---- rounding ---------------------------------------------------------------- */

/* The rounding functions follow every scalar branch by blends: nothing is
 * flagged (the mask argument only keeps the common entry shape). */

/* _ostrell_rounded_pair: an infinite high part gives (it, +0). */
_OSV_INLINE _osv_dd _OSV(rounded_pair)(_osv_d r_hi, _osv_d r_lo)
{
    _osv_d s = _osv_add(r_hi, r_lo);
    _osv_d e = _osv_sub(r_lo, _osv_sub(s, r_hi));
    _osv_m inf = _OSV(is_inf)(r_hi);
    return _OSV(dd_of)(_osv_blend(inf, s, r_hi), _osv_blend(inf, e, _osv_zero()));
}

/* ostrell_floor: the low part rounded only below an integral high part. */
_OSV_INLINE _osv_dd _OSV(floor_dd)(_osv_dd x)
{
    _osv_d f_hi = _osv_floor(x.hi);
    return _OSV(rounded_pair)(f_hi, _osv_blend(_osv_eq(f_hi, x.hi), _osv_zero(), _osv_floor(x.lo)));
}
_OSV_INLINE _osv_dd _OSV(ceil_dd)(_osv_dd x)
{
    _osv_d c_hi = _osv_ceil(x.hi);
    return _OSV(rounded_pair)(c_hi, _osv_blend(_osv_eq(c_hi, x.hi), _osv_zero(), _osv_ceil(x.lo)));
}
_OSV_INLINE _osv_dd _OSV(floor_block)(_osv_dd x, _osv_m* m)
{
    (void)m;
    return _OSV(floor_dd)(x);
}
_OSV_INLINE _osv_dd _OSV(ceil_block)(_osv_dd x, _osv_m* m)
{
    (void)m;
    return _OSV(ceil_dd)(x);
}

/* ostrell_trunc: below an integral high part the low part is floored under
 * a positive one, ceiled under a negative one, truncated under a zero. */
_OSV_INLINE _osv_dd _OSV(trunc_block)(_osv_dd x, _osv_m* m)
{
    _osv_d t_hi = _osv_trunc(x.hi);
    _osv_d t_lo = _osv_blend(_osv_lt(x.hi, _osv_zero()), _osv_trunc(x.lo), _osv_ceil(x.lo));
    t_lo = _osv_blend(_osv_gt(x.hi, _osv_zero()), t_lo, _osv_floor(x.lo));
    (void)m;
    return _OSV(rounded_pair)(t_hi, _osv_blend(_osv_eq(t_hi, x.hi), _osv_zero(), t_lo));
}

/* ostrell_round: ceil(x - 1/2) below zero (the low part deciding at a zero
 * high part), floor(x + 1/2) elsewhere; both evaluated, one kept. */
_OSV_INLINE _osv_dd _OSV(round_block)(_osv_dd x, _osv_m* m)
{
    _osv_dd half = _OSV(dd_of)(_osv_set1(0.5), _osv_zero());
    _osv_m neg = _osv_mor(_osv_lt(x.hi, _osv_zero()),
                          _osv_mand(_osv_eq(x.hi, _osv_zero()), _osv_lt(x.lo, _osv_zero())));
    (void)m;
    return _OSV(dd_blend)(neg, _OSV(floor_dd)(_OSV(dd_add)(x, half)), _OSV(ceil_dd)(_OSV(dd_sub)(x, half)));
}

/* ostrell_fmod: a - trunc(a / b) b.  The division flags every non-finite
 * quotient of operands without NaN, which covers the scalar's NaN for a
 * finite overflowing quotient; an infinite trunc(q) b (the scalar's other
 * NaN case) is flagged here. */
_OSV_INLINE _osv_dd _OSV(fmod_block)(_osv_dd a, _osv_dd b, _osv_m* m)
{
    _osv_dd q = _OSV(trunc_block)(_OSV(dd_div)(a, b, m), m);
    _osv_dd qb = _OSV(dd_mul)(q, b, m);
    _OSV_FLAG(_osv_gt(_osv_abs(qb.hi), _osv_set1(OSTRELL_DBL_MAX)));
    return _OSV(dd_sub)(a, qb);
}

/* ---- inverse circular functions ------------------------------------------ */

/* ostrell_atan(w) starts from the libm seed atan(z_hi), where z is w or, above
 * 1 in magnitude, 1/|w|.  So these functions run in two passes over a chunk
 * of rows: the first computes w (the argument each function hands to
 * ostrell_atan) and z, the libm gives the seeds out of line, the second
 * finishes. */

/* z for ostrell_atan(w): w itself, or 1/|w| when |w_hi| > 1 (the division's
 * flags only in those lanes).  NaN and infinite w are flagged. */
_OSV_INLINE _osv_dd _OSV(atan_z)(_osv_dd w, _osv_m* m)
{
    _osv_m big = _osv_gt(_osv_abs(w.hi), _osv_set1(1.0));
    _osv_m md = _osv_mzero();
    _osv_dd inv;
    _OSV_FLAG(_osv_nle(_osv_abs(w.hi), _osv_set1(OSTRELL_DBL_MAX)));
    inv = _OSV(dd_div)(_OSV(dd_of)(_osv_set1(1.0), _osv_zero()),
                       _OSV(dd_neg_if)(_osv_lt(w.hi, _osv_zero()), w), &md);
    _OSV_FLAG(_osv_mand(md, big));
    return _OSV(dd_blend)(big, w, inv);
}

/* ostrell_atan(w) from z and its seed: _ostrell_atan_near_zero(z), then
 * π/2 minus it, sign of w, where |w_hi| > 1.  |z| <= 1 here. */
_OSV_INLINE _osv_dd _OSV(atan_finish)(_osv_dd w, _osv_dd z, _osv_d seed, _osv_m* m)
{
    _osv_dd y = _OSV(dd_of)(seed, _osv_zero());
    _osv_dd sy, cy, term, res;
    _OSV(sincos_block)(y, &sy, &cy, m);
    term = _OSV(dd_sub)(_OSV(dd_mul)(z, cy, m), sy);
    y = _OSV(dd_add)(y, _OSV(dd_mul)(cy, term, m));
    res = _OSV(dd_sub)(_OSV(dd_raw)(_ostrell_pi_over_2_raw), y);
    res = _OSV(dd_neg_if)(_osv_ngt(w.hi, _osv_zero()), res);
    return _OSV(dd_blend)(_osv_gt(_osv_abs(w.hi), _osv_set1(1.0)), y, res);
}

/* The first pass: w, the argument of ostrell_atan, for fn of x (atan2: of
 * y = a and x = b).  Flagged: the scalar functions' special branches (as
 * supersets: |x_hi| >= 1 for asin and acos, a zero high part for acos and
 * for atan2's x) and NaN arguments. */
_OSV_INLINE _osv_dd _OSV(inv_w)(int fn, _osv_dd a, _osv_dd b, _osv_m* m)
{
    _osv_dd one = _OSV(dd_of)(_osv_set1(1.0), _osv_zero());
    _osv_dd num;
    if (fn == _OSTRELL_INV_ATAN)
        return a;
    if (fn == _OSTRELL_INV_ATAN2) {
        _OSV_FLAG(_osv_mor(_osv_ne(a.hi, a.hi), _osv_ne(b.hi, b.hi)));
        _OSV_FLAG(_osv_eq(b.hi, _osv_zero()));
        return _OSV(dd_div)(a, b, m);
    }
    _OSV_FLAG(_osv_nlt(_osv_abs(a.hi), _osv_set1(1.0)));
    num = _OSV(sqrt_block)(_OSV(dd_sub)(one, _OSV(dd_mul)(a, a, m)), m);
    if (fn == _OSTRELL_INV_ASIN)
        return _OSV(dd_div)(a, num, m);
    _OSV_FLAG(_osv_eq(a.hi, _osv_zero()));
    return _OSV(dd_div)(num, _OSV(dd_neg_if)(_osv_lt(a.hi, _osv_zero()), a), m);
}

/* The second pass: fn's result from t = ostrell_atan(w).  acos: π - t below
 * zero; atan2 with a negative x: t + π or t - π by the sign of y. */
_OSV_INLINE _osv_dd _OSV(inv_finish)(int fn, _osv_dd a, _osv_dd b, _osv_dd w, _osv_dd z,
                                     _osv_d seed, _osv_m* m)
{
    _osv_dd t = _OSV(atan_finish)(w, z, seed, m);
    _osv_dd pi = _OSV(dd_raw)(_ostrell_pi_raw);
    if (fn == _OSTRELL_INV_ACOS)
        return _OSV(dd_blend)(_osv_lt(a.hi, _osv_zero()), t, _OSV(dd_sub)(pi, t));
    if (fn == _OSTRELL_INV_ATAN2)
        return _OSV(dd_blend)(_osv_lt(b.hi, _osv_zero()), t,
                              _OSV(dd_blend)(_osv_ge(a.hi, _osv_zero()), _OSV(dd_sub)(t, pi),
                                             _OSV(dd_add)(t, pi)));
    return t;
}

/* ---- loops over the rows ---------------------------------------------------- */

/* Whole blocks through the body, the last rows through the scalar function
 * _ostrell_batch_rows_NAME.  In a block with flagged lanes only the flagged
 * rows are recomputed by it (rule 3, row by row): their scalar results are
 * made first, from the arguments, then the vector results of the block are
 * stored and theirs over them.  So out may be an argument (every read of a
 * block's rows comes before its stores).  Entry points out of line (rule 4). */
#define _OSV_EACH_ROW(rows, k)                                                 \
    for (k = 0; k < _OSV_LANES && (rows) >> k != 0; ++k)                      \
        if ((rows) >> k & 1u)

_OSV_INLINE void _OSV(store_patched)(double* out, _osv_dd r, unsigned rows, const double* tmp)
{
    unsigned k;
    _osv_store_rows(out, r);
    if (rows == 0)
        return;
    _OSV_EACH_ROW(rows, k) {
        out[2 * k] = tmp[2 * k];
        out[2 * k + 1] = tmp[2 * k + 1];
    }
}

#define _OSTRELL_BATCH_MATH_ENTRY(name)                                        \
    static _OSV_TARGET _OSTRELL_OUTLINE void _OSV(batch_##name)(const double* x, double* out, \
                                                                size_t n)      \
    {                                                                          \
        size_t i = 0;                                                          \
        for (; n - i >= _OSV_LANES; i += _OSV_LANES) {                         \
            _osv_m m = _osv_mzero();                                           \
            _osv_dd r = _OSV(name##_block)(_osv_load_rows(x + 2 * i), &m);     \
            double tmp[2 * _OSV_LANES];                                        \
            unsigned rows = _osv_mrows(m), k;                                  \
            _OSV_EACH_ROW(rows, k)                                             \
                _ostrell_batch_rows_##name(x + 2 * (i + k), tmp + 2 * k, 1);   \
            _OSV(store_patched)(out + 2 * i, r, rows, tmp);                    \
        }                                                                      \
        if (i < n)                                                             \
            _ostrell_batch_rows_##name(x + 2 * i, out + 2 * i, n - i);         \
    }
_OSTRELL_BATCH_MATH_ENTRY(sqrt)
_OSTRELL_BATCH_MATH_ENTRY(exp)
_OSTRELL_BATCH_MATH_ENTRY(sin)
_OSTRELL_BATCH_MATH_ENTRY(cos)
_OSTRELL_BATCH_MATH_ENTRY(tan)
_OSTRELL_BATCH_MATH_ENTRY(sinh)
_OSTRELL_BATCH_MATH_ENTRY(cosh)
_OSTRELL_BATCH_MATH_ENTRY(tanh)
_OSTRELL_BATCH_MATH_ENTRY(floor)
_OSTRELL_BATCH_MATH_ENTRY(ceil)
_OSTRELL_BATCH_MATH_ENTRY(trunc)
_OSTRELL_BATCH_MATH_ENTRY(round)
#undef _OSTRELL_BATCH_MATH_ENTRY

static _OSV_TARGET _OSTRELL_OUTLINE void _OSV(batch_fmod)(const double* a, const double* b,
                                                          double* out, size_t n)
{
    size_t i = 0;
    for (; n - i >= _OSV_LANES; i += _OSV_LANES) {
        _osv_m m = _osv_mzero();
        _osv_dd r = _OSV(fmod_block)(_osv_load_rows(a + 2 * i), _osv_load_rows(b + 2 * i), &m);
        double tmp[2 * _OSV_LANES];
        unsigned rows = _osv_mrows(m), k;
        _OSV_EACH_ROW(rows, k)
            _ostrell_batch_rows_fmod(a + 2 * (i + k), b + 2 * (i + k), tmp + 2 * k, 1);
        _OSV(store_patched)(out + 2 * i, r, rows, tmp);
    }
    if (i < n)
        _ostrell_batch_rows_fmod(a + 2 * i, b + 2 * i, out + 2 * i, n - i);
}

static _OSV_TARGET _OSTRELL_OUTLINE void _OSV(batch_sincos)(const double* x, double* s, double* c,
                                                            size_t n)
{
    size_t i = 0;
    for (; n - i >= _OSV_LANES; i += _OSV_LANES) {
        _osv_m m = _osv_mzero();
        _osv_dd rs, rc;
        double ts[2 * _OSV_LANES], tc[2 * _OSV_LANES];
        unsigned rows, k;
        _OSV(sincos_block)(_osv_load_rows(x + 2 * i), &rs, &rc, &m);
        rows = _osv_mrows(m);
        _OSV_EACH_ROW(rows, k)
            _ostrell_batch_rows_sincos(x + 2 * (i + k), ts + 2 * k, tc + 2 * k, 1);
        _OSV(store_patched)(s + 2 * i, rs, rows, ts);
        _OSV(store_patched)(c + 2 * i, rc, rows, tc);
    }
    if (i < n)
        _ostrell_batch_rows_sincos(x + 2 * i, s + 2 * i, c + 2 * i, n - i);
}

/* The chunk loop of the functions with libm seeds: up to
 * _OSTRELL_BATCH_LOG_CHUNK rows (whole blocks) at a time. */
#define _OSV_CHUNK_LEN(n, i)                                                   \
    ((n) - (i) < _OSTRELL_BATCH_LOG_CHUNK ? ((n) - (i)) / _OSV_LANES * _OSV_LANES \
                                          : (size_t)_OSTRELL_BATCH_LOG_CHUNK)

/* As batch_log, the seeds from the bases' magnitudes. */
static _OSV_TARGET _OSTRELL_OUTLINE void _OSV(batch_pow)(const double* a, const double* b,
                                                         double* out, size_t n)
{
    double seeds[2 * _OSTRELL_BATCH_LOG_CHUNK];
    size_t i = 0, j, len;
    while (n - i >= _OSV_LANES) {
        len = _OSV_CHUNK_LEN(n, i);
        _ostrell_batch_log_abs_seeds(a + 2 * i, seeds, len);
        for (j = 0; j < len; j += _OSV_LANES) {
            const double* aj = a + 2 * (i + j);
            const double* bj = b + 2 * (i + j);
            _osv_m m = _osv_mzero();
            _osv_dd r = _OSV(pow_block)(_osv_load_rows(aj), _osv_load_rows(bj),
                                        _osv_load_rows(seeds + 2 * j).hi, &m);
            double tmp[2 * _OSV_LANES];
            unsigned rows = _osv_mrows(m), k;
            _OSV_EACH_ROW(rows, k)
                _ostrell_batch_rows_pow(aj + 2 * k, bj + 2 * k, tmp + 2 * k, 1);
            _OSV(store_patched)(out + 2 * (i + j), r, rows, tmp);
        }
        i += len;
    }
    if (i < n)
        _ostrell_batch_rows_pow(a + 2 * i, b + 2 * i, out + 2 * i, n - i);
}

/* The seeds log(hi) of a chunk come first, from the libm in baseline code
 * out of line, in the rows' layout (so the same load puts each seed in its
 * row's lane); then the blocks. */
static _OSV_TARGET _OSTRELL_OUTLINE void _OSV(batch_log)(const double* x, double* out, size_t n)
{
    double seeds[2 * _OSTRELL_BATCH_LOG_CHUNK];
    size_t i = 0, j, len;
    while (n - i >= _OSV_LANES) {
        len = _OSV_CHUNK_LEN(n, i);
        _ostrell_batch_log_seeds(x + 2 * i, seeds, len);
        for (j = 0; j < len; j += _OSV_LANES) {
            const double* xj = x + 2 * (i + j);
            _osv_m m = _osv_mzero();
            _osv_dd r = _OSV(log_block)(_osv_load_rows(xj), _osv_load_rows(seeds + 2 * j).hi, &m);
            double tmp[2 * _OSV_LANES];
            unsigned rows = _osv_mrows(m), k;
            _OSV_EACH_ROW(rows, k)
                _ostrell_batch_rows_log(xj + 2 * k, tmp + 2 * k, 1);
            _OSV(store_patched)(out + 2 * (i + j), r, rows, tmp);
        }
        i += len;
    }
    if (i < n)
        _ostrell_batch_rows_log(x + 2 * i, out + 2 * i, n - i);
}

/* The inverse circular functions: per chunk, the first pass stores w, z and
 * the flagged rows of each block, the libm seeds follow (baseline, out of
 * line), the second pass finishes; flagged rows of either pass and the
 * last rows go through the scalar function.  b is a for the unary ones. */
_OSV_INLINE void _OSV(inv_run)(int fn, const double* a, const double* b, double* out, size_t n)
{
    double wbuf[2 * _OSTRELL_BATCH_LOG_CHUNK], zbuf[2 * _OSTRELL_BATCH_LOG_CHUNK];
    double seeds[2 * _OSTRELL_BATCH_LOG_CHUNK];
    unsigned flagged[_OSTRELL_BATCH_LOG_CHUNK / _OSV_LANES];
    size_t i = 0, j, len;
    while (n - i >= _OSV_LANES) {
        len = _OSV_CHUNK_LEN(n, i);
        for (j = 0; j < len; j += _OSV_LANES) {
            _osv_m m = _osv_mzero();
            _osv_dd w = _OSV(inv_w)(fn, _osv_load_rows(a + 2 * (i + j)), _osv_load_rows(b + 2 * (i + j)), &m);
            _osv_store_rows(wbuf + 2 * j, w);
            _osv_store_rows(zbuf + 2 * j, _OSV(atan_z)(w, &m));
            flagged[j / _OSV_LANES] = _osv_mrows(m);
        }
        _ostrell_batch_atan_seeds(zbuf, seeds, len);
        for (j = 0; j < len; j += _OSV_LANES) {
            const double* aj = a + 2 * (i + j);
            const double* bj = b + 2 * (i + j);
            _osv_m m = _osv_mzero();
            _osv_dd r = _OSV(inv_finish)(fn, _osv_load_rows(aj), _osv_load_rows(bj),
                                         _osv_load_rows(wbuf + 2 * j), _osv_load_rows(zbuf + 2 * j),
                                         _osv_load_rows(seeds + 2 * j).hi, &m);
            double tmp[2 * _OSV_LANES];
            unsigned rows = flagged[j / _OSV_LANES] | _osv_mrows(m), k;
            _OSV_EACH_ROW(rows, k)
                _ostrell_batch_rows_inv(fn, aj + 2 * k, bj + 2 * k, tmp + 2 * k, 1);
            _OSV(store_patched)(out + 2 * (i + j), r, rows, tmp);
        }
        i += len;
    }
    if (i < n)
        _ostrell_batch_rows_inv(fn, a + 2 * i, b + 2 * i, out + 2 * i, n - i);
}

#define _OSTRELL_BATCH_INV_ENTRY(name, fn)                                     \
    static _OSV_TARGET _OSTRELL_OUTLINE void _OSV(batch_##name)(const double* x, double* out, \
                                                                size_t n)      \
    {                                                                          \
        _OSV(inv_run)(fn, x, x, out, n);                                       \
    }
_OSTRELL_BATCH_INV_ENTRY(atan, _OSTRELL_INV_ATAN)
_OSTRELL_BATCH_INV_ENTRY(asin, _OSTRELL_INV_ASIN)
_OSTRELL_BATCH_INV_ENTRY(acos, _OSTRELL_INV_ACOS)
#undef _OSTRELL_BATCH_INV_ENTRY

static _OSV_TARGET _OSTRELL_OUTLINE void _OSV(batch_atan2)(const double* y, const double* x,
                                                           double* out, size_t n)
{
    _OSV(inv_run)(_OSTRELL_INV_ATAN2, y, x, out, n);
}

#undef _OSV_CHUNK_LEN
#undef _OSV_EACH_ROW
#undef _OSV_FLAG
#undef _OSV_INLINE
