#include "KxResultTypes.h"

const std::array<const char *, 13> &STRUCT_BQ15415::keys()
{
    static const std::array<const char *, 13> k{"cALL", "cDEC", "cSC",  "cMOD", "cRM",
                                                "cFPD", "cFID", "cVID", "cAN",  "cGN",
                                                "cUEC", "cPGH", "cPGV"};
    return k;
}

const std::array<const char *, 10> &STRUCT_BQ15416::keys()
{
    static const std::array<const char *, 10> k{"cALL",  "cDEC", "cEDGE", "cSC", "cMINR",
                                                "cMINE", "cMOD", "cQZ",   "cDCE", "cDEF"};
    return k;
}

const std::array<const char *, 14> &STRUCT_BQ29158::keys()
{
    static const std::array<const char *, 14> k{"cALL", "cDEC", "cCC",  "cCM",  "cRM",
                                                "cFPD", "cFID", "cVID", "cAN",  "cGN",
                                                "cUEC", "cPGH", "cPGV", "cMR"};
    return k;
}

void kxRegisterResultTypes()
{
    static const bool once = [] {
        qRegisterMetaType<STRUCT_BQ>("STRUCT_BQ");
        qRegisterMetaType<STRUCT_BARCODE_INFO>("STRUCT_BARCODE_INFO");
        qRegisterMetaType<STRU_TEST_MUL_BARCODE_INFO>("STRU_TEST_MUL_BARCODE_INFO");
        qRegisterMetaType<STRU_TEST_RESULT_INFO>("STRU_TEST_RESULT_INFO");
        qRegisterMetaType<STRUCT_TAG_INFO>("STRUCT_TAG_INFO");
        qRegisterMetaType<QList<STRUCT_BARCODE_INFO>>("QList<STRUCT_BARCODE_INFO>");
        qRegisterMetaType<QList<STRU_TEST_RESULT_INFO>>("QList<STRU_TEST_RESULT_INFO>");
        qRegisterMetaType<QList<STRUCT_TAG_INFO>>("QList<STRUCT_TAG_INFO>");
        return true;
    }();
    Q_UNUSED(once)
}
