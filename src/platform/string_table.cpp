#include "platform/string_table.h"

#include <utility>

namespace platform {

namespace {

struct Entry {
    int id;
    std::string_view text;
};

// clang-format off
constexpr Entry kStrings[] = {
    {1, "Corvane"},
    {40008, "Corvane"},
    {40016, "Software\\Velk\\Corvane"},

    {500, "Hopalong"},
    {501, "Chip"},
    {502, "Quadruptwo"},
    {503, "Threeply"},
    {504, "Martin"},
    {505, "Mandelbrot"},
    {506, "Julia"},
    {507, "Henon"},
    {508, "Gingerbreadman"},
    {509, "Unity"},
    {510, "Spider"},
    {511, "Manowar"},
    {512, "Phoenix"},

    {601, "Orbit in two dimensions.\r\nx(0) = y(0) = 0\r\nx(n+1) = y(n) - sign(x(n)) * sqrt(abs(b*x(n)-c))\r\ny(n+1) = a - x(n)\r\nParameters are a, b, and c."},
    {602, "Orbit in two dimensions.\r\nx(0) = y(0) = 0\r\nx(n+1) = y(n) - sign(x(n)) * cos(sqr(ln(abs(b*x(n)-c)))) * arctan(sqr(ln(abs(c*x(n)-b))))\r\ny(n+1) = a - x(n)\r\nParameters are a, b, and c."},
    {603, "Orbit in two dimensions.\r\nx(0) = y(0) = 0\r\nx(n+1) = y(n) - sign(x(n)) * sin(ln(abs(b*x(n)-c))) * arctan(sqr(ln(abs(c*x(n)-b))))\r\ny(n+1) = a - x(n)\r\nParameters are a, b, and c."},
    {604, "Orbit in two dimensions.\r\nx(0) = y(0) = 0\r\nx(n+1) = y(n) - sign(x(n)) * (abs(sin(x(n))*cos(b) + c-x(n)*sin(a+b+c)))\r\ny(n+1) = a - x(n)\r\nParameters are a, b, and c."},
    {605, "Orbit in two dimensions.\r\nx(0) = y(0) = 0\r\nx(n+1) = y(n) - sin(x(n))\r\ny(n+1) = a - x(n)\r\nParameter is a (try a value near pi)."},
    {606, "Classic Mandelbrot set fractal.\r\nc = pixel\r\nz(n+1) = z(n)^2 + c\r\nTwo parameters:\r\nreal & imaginary perturbations of z(0)."},
    {607, "Classic Julia set fractal.\r\nz(0) = pixel\r\nz(n+1) = z(n)^2 + c\r\nTwo parameters:\r\nreal & imaginary parts of c."},
    {608, "Orbit in two dimensions.\r\nx(0) = y(0) = 0\r\nx(n+1) = 1 + y(n) - a*x(n)*x(n)\r\ny(n+1) = b*x(n)\r\nTwo parameters: a and b."},
    {609, "Orbit in two dimensions.\r\nx(n+1) = 1 - y(n) + |x(n)|\r\ny(n+1) = x(n)\r\nTwo parameters:\r\ninitial values of x(0) and y(0)."},
    {610, "Complex fractal.\r\nz(0) = pixel\r\nx = real(z(n)), y = imag(z(n))\r\nk = x^2 + y^2\r\ny = (2 - k) * x\r\nx = (2 - k) * y\r\nz(n+1) = x + i * y\r\nNo parameters."},
    {611, "Complex fractal.\r\nc(0) = pixel\r\nz(n+1) = z(n)^2 * c(n)\r\nc(n+1) = c(n)/2 + z(n+1)\r\nTwo parameters:\r\nreal & imaginary perturbations of z(0)."},
    {612, "Complex fractal.\r\nc = pixel\r\nz(n+1) = z(n)^2 + z1(n) + c(n)\r\nz1(n+1) = z(n)\r\nTwo parameters:\r\nreal & imaginary perturbations of z(0)."},
    {613, "Complex fractal.\r\nz(0) = pixel, y(0) = 0\r\nz(n+1) = z(n)^2 + p1 + p2*y(n)\r\ny(n+1) = z(n)\r\nTwo parameters:\r\np1 & p2."},

    {5000, "Simple"},
    {5001, "Relief"},
    {5002, "Tesseral"},

    {40007, "File"},
    {40015, "Fractal"},
    {40017, "Select zoom area"},
    {40018, "Zoom out"},
    {40019, "Turn off the display"},
    {40020, "Select area:"},
    {40021, "X[0]:"},
    {40022, "Y[0]:"},
    {40023, "All files"},
    {40024, "Color palettes"},
    {40025, "Open palette:"},
    {40026, "Bitmaps"},
    {40027, "Open fractal:"},
    {40028, "Save fractal:"},
    {40030, "Zoom previous"},
    {40031, "Slideshow:"},
    {40032, "Only fractals of type %s...?"},
    {40035, "P1:"},
    {40036, "P2:"},
    {40041, "PNG picture"},
    {40042, "Pictures"},
    {40040, "The view cannot be zoomed in further: double precision cannot tell its pixels apart."},
};
// clang-format on

// Type id 1..13 -> name string id.
constexpr int kTypeNameIds[14] = {0,   500, 502, 503, 501, 505, 506,
                                  504, 507, 508, 509, 510, 511, 512};

}  // namespace

std::string windowTitleWithNote(const std::string& note) {
    std::string title(loadString(kStringWindowTitle));
    if (!note.empty())
        title += " (" + note + ")";
    return title;
}

std::string windowTitleFor(const std::string& subject, const std::string& note) {
    if (subject.empty())
        return windowTitleWithNote(note);
    return subject + " - " + windowTitleWithNote(note);
}

std::string_view loadString(int id) {
    for (const Entry& e : kStrings) {
        if (e.id == id)
            return e.text;
    }
    return {};
}

int typeNameStringId(int fractalType) {
    if (fractalType < 1 || fractalType > 13)
        return 0;
    return kTypeNameIds[fractalType];
}

}  // namespace platform
