// Resource ids of the dialog's pictures, shared by the resource script artwork.rc and the code
// that loads them. Plain #defines because the resource compiler reads this file too. The
// pictures are drawn in resources/art/; the sizes below are those the build writes.
#pragma once

/* Icons (type ICON; frames of 16, 20, 24, 32 and 48 pixels unless said otherwise). */
#define TW_ICON_ZOOM_IN 5              /* button 32: a lens with a plus */
#define TW_ICON_NEW_SEED 164           /* button 75: golden waves with a spark */
#define TW_ICON_ZOOM_OUT 169           /* button 33: a lens with a minus */
#define TW_ICON_DICE 184               /* button 72: random settings, a die */
#define TW_ICON_LOAD 185               /* button 35: load settings, an open folder */
#define TW_ICON_SAVE 186               /* button 26: save settings, a diskette */
#define TW_ICON_UNDO 187               /* button 74: an arrow curving back */
#define TW_ICON_NEXT_GLUE 188          /* button 21: next glue mode, an S-curve arrow */
#define TW_ICON_ABOUT 192              /* static 25: Quillmoth's mark; also 64 pixels */
#define TW_ICON_RESET 225              /* button 98: plain settings, a dark ring */
#define TW_ICON_EXPORT_PSD 234         /* button 69: a stack of layers */
#define TW_ICON_HTML_PAGE 235          /* button 40: a browser window with brackets */
#define TW_ICON_INFO 236               /* button 27: a question mark in a circle */
#define TW_ICON_PAD_MARKER 308         /* the direction pad's marker; 8, 12, 16, 24, 32 */

/* Bitmaps (type BITMAP, 24 bits a pixel). */
#define TW_BMP_TRACK_SURFACE 101       /* 135 x 13: track of Waviness, Complexity, Brilliance, Blur */
#define TW_BMP_TRACK_PLACEMENT 102     /* 135 x 13: track of every other slider */
#define TW_BMP_KNOB 120                /* 12 x 11 */
#define TW_BMP_KNOB_DOUBLE 200         /* 24 x 22, the knob for large text sizes */
#define TW_BMP_MEMORY_WELL 217         /* 96 x 96; the hovered dot's picture goes 4 pixels in */
#define TW_BMP_INFO_HALF 179           /* 726 x 450, the information picture at half size */
#define TW_BMP_INFO 303                /* 1452 x 900, the information picture */

/* JPEG pictures (custom type "JPEG", baseline, three channels). */
#define TW_JPEG_TYPE "JPEG"
#define TW_JPEG_ABOUT 312              /* 1040 x 426, the About box's picture */
#define TW_JPEG_HEADING_VIEW 343       /* 90 x 30, the word "View" */
#define TW_JPEG_HEADING_WATER 344      /* 90 x 30, the word "Water" */
#define TW_JPEG_HEADING_RIPPLE 345     /* 90 x 30, the word "Ripple" */
#define TW_JPEG_DIRECTION_PAD 346      /* 170 x 170, a glass sphere centred at (84, 82), radius 66 */

/* Memory dots, 40 x 40 each. A dot's picture is a base chosen by its state and keep flag,
   plus 0 while it is pressed with the mouse over it and plus 1 otherwise. "Kept" dots stay
   filled at the next start; "current" is the dot last stored or recalled (a gold centre). */
#define TW_JPEG_DOT_FILLED_BASE 331       /* filled, not kept */
#define TW_JPEG_DOT_CURRENT_BASE 333      /* filled and current, not kept */
#define TW_JPEG_DOT_KEPT_BASE 337         /* filled and kept */
#define TW_JPEG_DOT_KEPT_CURRENT_BASE 339 /* filled, kept and current */
#define TW_JPEG_DOT_EMPTY_BASE 341        /* empty, kept or not */
#define TW_DOT_PICTURE_PRESSED 0          /* added to a base */
#define TW_DOT_PICTURE_RELEASED 1         /* added to a base */

/* Cursors (type CURSOR, 32 x 32). */
#define TW_CURSOR_GRAB 107             /* grabbing hand while the preview is dragged; hot spot (16, 16) */
#define TW_CURSOR_OPEN_HAND 108        /* open hand, carried but unused; hot spot (16, 16) */
#define TW_CURSOR_POINT 109            /* pointing hand over the preview; hot spot (12, 1) */
