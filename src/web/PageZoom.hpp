#pragma once

namespace quillbay {

class WebViewModel;

// The zoom level of the model's web view (1.0 is 100 %). WebKit keeps it
// across loads, so it is set once and stays until changed.
double pageZoom(WebViewModel& model);
void setPageZoom(WebViewModel& model, double level);

} // namespace quillbay
