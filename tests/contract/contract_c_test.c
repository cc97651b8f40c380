/* The contract header compiles as C. */
#include "common/filter.h"

int contract_header_compiles_as_c(void) {
    FilterRecord record = {0};
    record.errorCode = FERR_CANCELLED;
    return (int)sizeof record.region + (int)record.errorCode;
}
