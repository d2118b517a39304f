// Numeric ids of the module's resources, shared by the resource script and the code that
// loads them. Plain #defines because the resource compiler reads this file too.
#pragma once

#define TW_RES_PROPERTY_LIST 16000     /* 'PiPL' */
#define TW_RES_TERMINOLOGY 16000       /* 'AETE' */
#define TW_RES_MANIFEST 2              /* the isolation-aware manifest id */

#define TW_STR_PRODUCT 1               /* "Tarnwell 2" */
#define TW_STR_VENDOR 2                /* "Quillmoth" */
#define TW_STR_DESCRIPTION 3           /* "Draws lying water" */
#define TW_STR_PRESET_FILTER 4         /* file-dialog filter name for settings files */
#define TW_STR_REFUSAL 5               /* shown when the host lacks what the filter needs */
