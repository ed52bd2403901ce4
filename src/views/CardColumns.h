#pragma once

#include <iterator>

// The card list's columns, in the order the grid and the CSV export show them.
struct CardColumn
{
    const char16_t* field;
    const char16_t* title;
    int width; // in the grid; 0: default
    bool titleB;
    bool sorts;
};

inline constexpr CardColumn kCardColumns[] = {
    {u"c_name", u"卡名", 88, false, true},
    {u"c_no", u"卡号", 71, false, true},
    {u"c_yxq", u"有效期", 0, false, true},
    {u"c_xym", u"效验码", 59, false, true},
    {u"c_jzr", u"账单日", 46, false, true},
    {u"c_hkr", u"还款日", 59, false, true},
    {u"tf", u"已还款", 61, true, true},
    {u"c_re_date", u"本月还款日期", 83, false, true},
    {u"i_xyr", u"剩余还款天数", 85, false, true},
    {u"i_xf", u"今天消费最长", 85, false, true},
    {u"i_yxf", u"已消费额度", 77, false, true},
    {u"i_zdhkje", u"最低还款金额", 94, false, true},
    {u"i_zdhkbl", u"最低还款比例", 86, false, true},
    {u"i_ed", u"总额度", 88, false, true},
    {u"c_jd_date", u"本月帐单日", 83, false, true},
    {u"c_next_jd_date", u"下期记帐日", 58, true, false},
    {u"c_next_re_date", u"下期还款日", 71, false, true},
    {u"i_mxr", u"最长免息日", 73, false, true},
    {u"izdhkr", u"最短\n还款日", 0, true, false},
};
inline constexpr int kCardColumnCount = int(std::size(kCardColumns));
