// One small sales report with a detail, which every source of datasets must
// fill alike: regions with their sales, a subtotal per region and a grand
// total.
#pragma once

namespace qxtest {

inline const char* const kSalesReport =
    "{\\rtf1 \\\\SCAN(REGIONS)\\\\\\\\REGIONS.NAME\\\\:"
    "\\\\SCAN(SALES), NOEOF, SUM(SALES.AMOUNT, SUB), SUM(SALES.AMOUNT, GRAND, NORESET)\\\\"
    " \\\\SALES.AMOUNT\\\\\\\\ENDSCAN\\\\ = \\\\FFIX(SUB, 10:2)\\\\;\\\\ENDSCAN\\\\"
    " Total \\\\FFIX(GRAND, 10:2)\\\\}";

// Regions 1 to 4 (North, South, East, West) and the sales (region, amount),
// in this order: (2, 20.25), (1, 10.5), (4, 7), (1, 4), (2, 0.75), (4, 1.5),
// (1, 100).
inline const char* const kSalesByRegion =
    "{\\rtf1 North: 10.5 4 100 = 114.50;South: 20.25 0.75 = 21.00;East: = 0.00;"
    "West: 7 1.5 = 8.50; Total 144.00}";

}  // namespace qxtest
