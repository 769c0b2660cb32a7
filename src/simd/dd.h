/* simd/dd.h: the double-double kernels of ostrell.h on vectors of
 * rows, lane by lane the scalar kernels' operation sequence.
 *
 * A generic body: no include guard; included once per instruction set with
 * _OSV, _OSV_TARGET and _OSV_LANES defined (see simd/simd.h).  A function
 * with a mask argument ORs into *m (never clearing a lane) the lanes where the
 * scalar kernel could take a branch the vector code does not follow; the
 * caller recomputes those rows with the scalar function.  The others follow
 * every branch of their scalar kernel (by blends).
 */

#define _OSV_INLINE static inline _OSV_TARGET _OSTRELL_ALWAYS_INLINE

/* Above this a factor may be pre-scaled by the scalar product error
 * (6.7e299 = 0x1.001e0e03dbf7p+996, the literal of ostrell.h).  Flagging every
 * such factor (not only with the other factor below 1) is a superset that
 * also catches infinite factors. */
#define _OSTRELL_SIMD_MUL_ERR_BIG 0x1.001e0e03dbf7p+996

/* err with a + b = s + err exactly, for s = fl(a + b) (two-sum, the steps of
 * ostrell_add). */
_OSV_INLINE _osv_d _OSV(two_sum_err)(_osv_d a, _osv_d b, _osv_d s)
{
    _osv_d bb = _osv_sub(s, a);
    return _osv_add(_osv_sub(a, _osv_sub(s, bb)), _osv_sub(b, bb));
}

/* err with a - b = s + err exactly, for s = fl(a - b) (the steps of
 * ostrell_sub: not two_sum_err(a, -b), which can differ in the sign of a zero). */
_OSV_INLINE _osv_d _OSV(two_diff_err)(_osv_d a, _osv_d b, _osv_d s)
{
    _osv_d bb = _osv_sub(s, a);
    return _osv_sub(_osv_sub(a, _osv_sub(s, bb)), _osv_add(b, bb));
}

/* |x| <= DBL_MAX: false for infinities and NaN. */
_OSV_INLINE _osv_m _OSV(is_finite)(_osv_d x)
{
    return _osv_le(_osv_abs(x), _osv_set1(OSTRELL_DBL_MAX));
}

/* |x| > DBL_MAX, as _ostrell_isinf_d: false for NaN. */
_OSV_INLINE _osv_m _OSV(is_inf)(_osv_d x)
{
    return _osv_gt(_osv_abs(x), _osv_set1(OSTRELL_DBL_MAX));
}

/* The high half of a by Veltkamp's split: a_h = t - (t - a), t = a * (2^27 + 1). */
_OSV_INLINE _osv_d _OSV(split_hi)(_osv_d a)
{
    _osv_d t = _osv_opaque(_osv_mul(a, _osv_set1(0x1.0000002p+27))); /* 134217729 */
    return _osv_sub(t, _osv_sub(t, a));
}

/* mul_err's steps, flagging only the lanes with a factor above 6.7e299 (the
 * scalar pre-scaling); the caller flags the rescue of a non-finite error. */
_OSV_INLINE _osv_d _OSV(mul_err_big)(_osv_d a, _osv_d b, _osv_d p, _osv_m* m)
{
    _osv_d a_h = _OSV(split_hi)(a);
    _osv_d a_l = _osv_sub(a, a_h);
    _osv_d b_h = _OSV(split_hi)(b);
    _osv_d b_l = _osv_sub(b, b_h);
    _osv_d err = _osv_sub(_osv_opaque(_osv_mul(a_h, b_h)), p);
    err = _osv_add(err, _osv_opaque(_osv_mul(a_h, b_l)));
    err = _osv_add(err, _osv_opaque(_osv_mul(a_l, b_h)));
    err = _osv_add(err, _osv_opaque(_osv_mul(a_l, b_l)));
    *m = _osv_mor(*m, _osv_gt(_osv_max(_osv_abs(a), _osv_abs(b)),
                              _osv_set1(_OSTRELL_SIMD_MUL_ERR_BIG)));
    return err;
}

/* The exact rounding error a*b - p of p = fl(a*b), the steps of
 * _ostrell_exact_mul_err_steps without pre-scaling.  Flags the lanes where
 * ostrell_exact_mul_err would pre-scale (a factor above 6.7e299: a superset)
 * or rescue (a non-finite error with a, b and p finite; p = fl(a*b) finite
 * implies a and b finite). */
_OSV_INLINE _osv_d _OSV(mul_err)(_osv_d a, _osv_d b, _osv_d p, _osv_m* m)
{
    _osv_d err = _OSV(mul_err_big)(a, b, p, m);
    *m = _osv_mor(*m, _osv_mand(_osv_nle(_osv_abs(err), _osv_set1(OSTRELL_DBL_MAX)),
                                _osv_ord(p, p)));
    return err;
}

/* ostrell_add.  Its overflow branches are followed by blends, so nothing is
 * flagged: s infinite gives (s, +0); then a high part s + err infinite
 * (overflow in the renormalisation) gives (s + err, +0). */
_OSV_INLINE _osv_dd _OSV(dd_add)(_osv_dd a, _osv_dd b)
{
    _osv_dd r;
    _osv_d s = _osv_add(a.hi, b.hi);
    _osv_d err = _OSV(two_sum_err)(a.hi, b.hi, s);
    _osv_m inf = _OSV(is_inf)(s);
    err = _osv_add(err, _osv_add(a.lo, b.lo));
    r.hi = _osv_blend(inf, _osv_add(s, err), s);
    r.lo = _osv_sub(err, _osv_sub(r.hi, s));
    r.lo = _osv_blend(_OSV(is_inf)(r.hi), r.lo, _osv_zero());
    return r;
}

/* ostrell_sub, its overflow branches blended as in dd_add. */
_OSV_INLINE _osv_dd _OSV(dd_sub)(_osv_dd a, _osv_dd b)
{
    _osv_dd r;
    _osv_d s = _osv_sub(a.hi, b.hi);
    _osv_d err = _OSV(two_diff_err)(a.hi, b.hi, s);
    _osv_m inf = _OSV(is_inf)(s);
    err = _osv_add(err, _osv_sub(a.lo, b.lo));
    r.hi = _osv_blend(inf, _osv_add(s, err), s);
    r.lo = _osv_sub(err, _osv_sub(r.hi, s));
    r.lo = _osv_blend(_OSV(is_inf)(r.hi), r.lo, _osv_zero());
    return r;
}

/* ostrell_mul.  The overflow branch of p (infinite) is flagged by mul_err,
 * as its error is then non-finite; that of the renormalisation (p + err
 * infinite: (p + err, +0)) is blended.  NaN rows follow the steps, as in the
 * scalar kernel. */
_OSV_INLINE _osv_dd _OSV(dd_mul)(_osv_dd a, _osv_dd b, _osv_m* m)
{
    _osv_dd r;
    _osv_d p = _osv_opaque(_osv_mul(a.hi, b.hi));
    _osv_d err = _OSV(mul_err)(a.hi, b.hi, p, m);
    err = _osv_add(err, _osv_add(_osv_opaque(_osv_mul(a.hi, b.lo)),
                                 _osv_opaque(_osv_mul(a.lo, b.hi))));
    r.hi = _osv_add(p, err);
    r.lo = _osv_sub(err, _osv_sub(r.hi, p));
    r.lo = _osv_blend(_OSV(is_inf)(r.hi), r.lo, _osv_zero());
    return r;
}

/* ostrell_div.  Flagged: a zero high divisor (the scalar kernel's first
 * branch), a factor of b_hi * q1 above 6.7e299 (the product error's
 * pre-scaling; this covers an infinite divisor, the second branch, and q1
 * overflow), and a non-finite result of operands without NaN (the rescue of
 * finite operands).  A non-finite product error with no NaN operand part
 * makes the result non-finite, so that last flag covers its rescue too; with
 * a NaN part both codes give NaN in both parts whatever the error.  NaN rows
 * follow the steps, as in the scalar kernel. */
_OSV_INLINE _osv_dd _OSV(dd_div)(_osv_dd a, _osv_dd b, _osv_m* m)
{
    _osv_dd r;
    _osv_d q1, p_hi, p_lo, s, bb, e, r_hi, r_lo, q2;
    q1 = _osv_div(a.hi, b.hi);
    p_hi = _osv_opaque(_osv_mul(b.hi, q1));
    p_lo = _osv_add(_OSV(mul_err_big)(q1, b.hi, p_hi, m), _osv_opaque(_osv_mul(q1, b.lo)));
    s = _osv_sub(a.hi, p_hi);
    bb = _osv_sub(s, a.hi);
    e = _osv_add(_osv_sub(a.hi, _osv_sub(s, bb)), _osv_sub(_osv_neg(p_hi), bb));
    e = _osv_add(_osv_sub(a.lo, p_lo), e);
    r_hi = _osv_add(s, e);
    r_lo = _osv_sub(e, _osv_sub(r_hi, s));
    q2 = _osv_div(r_hi, b.hi);
    r.hi = _osv_add(q1, q2);
    r.lo = _osv_add(_osv_sub(q2, _osv_sub(r.hi, q1)), _osv_div(r_lo, b.hi));
    *m = _osv_mor(*m, _osv_eq(b.hi, _osv_zero()));
    *m = _osv_mor(*m, _osv_mand(_osv_mand(_osv_ord(a.hi, a.lo), _osv_ord(b.hi, b.lo)),
                                _osv_nle(_osv_add(_osv_abs(r.hi), _osv_abs(r.lo)),
                                         _osv_set1(OSTRELL_DBL_MAX))));
    return r;
}

#undef _OSV_INLINE
