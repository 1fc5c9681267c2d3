#pragma once

class QDateTimeEdit;

// A click into a date or time picker selects the whole section under the
// pointer (hours, minutes, day ...), so digits typed next replace it, as a
// desktop date-time picker does. Qt's own picker only places the cursor there,
// and a digit inserted into "00" makes a value it refuses.
void SelectSectionOnClick(QDateTimeEdit* edit);
