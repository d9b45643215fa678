// trapezoid._engine: the engine for Python on NumPy arrays, and the native command's files,
// options and batch rules, the GIL released while the engine and the codecs work.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_error.h"
#include "cli/run_selection.h"
#include "native/picture_files.h"
#include "native/picture_run.h"
#include "python/array_pixels.h"
#include "transform/proportions.h"
#include "transform/transform_pass.h"

namespace py = pybind11;

namespace {

constexpr const char* kFillNames[6] = {"edge", "source", "fg", "bg", "white", "black"};

std::int32_t NumberIn(const py::handle& value, const char* argument, std::int32_t lowest,
                      std::int32_t highest) {
    const std::string range = std::to_string(lowest) + ".." + std::to_string(highest);
    if (!py::isinstance<py::int_>(value) || py::isinstance<py::bool_>(value)) {
        throw py::type_error(std::string(argument) + " must be an int in " + range + ", not " +
                             std::string(py::repr(value)));
    }
    const long number = value.cast<long>();
    if (number < lowest || number > highest) {
        throw py::value_error(std::string(argument) + " must be in " + range + ", not " +
                              std::to_string(number));
    }
    return static_cast<std::int32_t>(number);
}

std::int32_t FillMode(const std::string& name) {
    for (std::int32_t mode = 0; mode < 6; ++mode) {
        if (name == kFillNames[mode]) return mode;
    }
    throw py::value_error("fill must be \"edge\", \"source\", \"fg\", \"bg\", \"white\" or "
                          "\"black\", not \"" + name + "\"");
}

// The rectangle of a run: RECT (left, top, right, bottom) inside the picture, else the mask's
// selection, else the whole picture; messages as the commands give them, under ValueError.
SelectionRect RectOf(const py::object& rect, const pixels::Shape& shape,
                     const std::vector<std::uint8_t>& mask) {
    std::optional<SelectionRect> given;
    if (!rect.is_none()) {
        const auto values = rect.cast<std::vector<py::object>>();
        if (values.size() != 4) throw py::value_error("rect must be (left, top, right, bottom)");
        const std::int32_t limit = 0x7FFFFFFF;
        given = SelectionRect{NumberIn(values[0], "rect", -limit, limit),
                              NumberIn(values[1], "rect", -limit, limit),
                              NumberIn(values[2], "rect", -limit, limit),
                              NumberIn(values[3], "rect", -limit, limit)};
    }
    RgbaImage frame;
    frame.width = shape.width;
    frame.height = shape.height;
    try {
        return ChooseRect(frame, mask, mask.empty() ? "" : "array", given);
    } catch (const UsageError& error) {
        throw py::value_error(std::string("rect: ") + error.what());
    }
}

py::array Correct(const py::array& image, const py::handle& shapeValue,
                  const py::handle& differenceValue, const std::string& fill, bool transparent,
                  bool perspective, bool proportions, const py::handle& focalValue, const py::object& rect,
                  const py::object& mask, const py::object& fg, const py::object& bg) {
    const pixels::Shape shape = pixels::ShapeOf(image);
    TrapezoidSettings settings{};
    settings.shape = NumberIn(shapeValue, "shape", 0, 5);
    settings.difference = NumberIn(differenceValue, "difference", -100, 100);
    settings.fill.mode = FillMode(fill);
    settings.fill.transparent = transparent ? 1 : 0;
    settings.perspective = perspective ? 1 : 0;
    settings.proportions = proportions ? 1 : 0;
    settings.focal = NumberIn(focalValue, "focal", kMinFocal, kMaxFocal);
    const auto order = pixels::Order::kArray;
    const Pixel32 foreground = fg.is_none() ? 0xFF000000u : pixels::ColourOf(fg, "fg", order);
    const Pixel32 background = bg.is_none() ? 0xFFFFFFFFu : pixels::ColourOf(bg, "bg", order);
    const std::vector<std::uint8_t> selection =
        mask.is_none() ? std::vector<std::uint8_t>() : pixels::MaskOf(mask, shape);
    const SelectionRect area = RectOf(rect, shape, selection);
    const FillParams fillParams = ResolvedFill(settings, foreground, background);
    const LineProfile profile = ProfileOfSetting(settings.perspective);
    const auto pass = [&](const Pixel32* source, Pixel32* destination) {
        const py::gil_scoped_release unlocked;
        if (settings.perspective != 0 && settings.proportions != 0) {
            if (!RunTransformInProportion(source, destination, shape.width, shape.height, area,
                                          settings.shape, settings.difference, settings.focal,
                                          fillParams, nullptr)) {
                throw std::bad_alloc();
            }
        } else {
            RunTransform(source, destination, shape.width, shape.height, area, settings.shape,
                         settings.difference, profile, fillParams, nullptr);
        }
        if (!selection.empty()) {
            const std::size_t count = selection.size();
            for (std::size_t i = 0; i < count; ++i) {
                if (selection[i] == 255) destination[i] = source[i];
            }
        }
    };
    if (pixels::TakenAsWords(image, shape) && selection.empty()) {
        // The one copy the result needs, then the pass from the caller's array into it.
        py::array result(image.dtype(), std::vector<py::ssize_t>(image.shape(),
                                                                  image.shape() + 3));
        std::memcpy(result.mutable_data(), image.data(), static_cast<std::size_t>(image.nbytes()));
        pass(static_cast<const Pixel32*>(image.data()), static_cast<Pixel32*>(result.mutable_data()));
        return result;
    }
    const std::vector<Pixel32> source = pixels::WordsOf(image, shape, order);
    std::vector<Pixel32> destination = source;
    pass(source.data(), destination.data());
    return pixels::ArrayOf(destination.data(), shape, order);
}

py::object SuggestFor(const py::array& image, bool horizontal, bool perspective,
                      const py::object& rect, const py::object& mask) {
    const pixels::Shape shape = pixels::ShapeOf(image);
    const std::vector<Pixel32> words = pixels::WordsOf(image, shape, pixels::Order::kEngine);
    const std::vector<std::uint8_t> selection =
        mask.is_none() ? std::vector<std::uint8_t>() : pixels::MaskOf(mask, shape);
    const SelectionRect area = RectOf(rect, shape, selection);
    const PictureView picture{words.data(), shape.width, shape.height,
                              selection.empty() ? nullptr : selection.data()};
    std::optional<Straightening> found;
    {
        const py::gil_scoped_release unlocked;
        found = SuggestStraightening(
            picture, area,
            horizontal ? StraightenDirection::kHorizontals : StraightenDirection::kVerticals, 0,
            ProfileOfSetting(perspective ? 1 : 0));
    }
    if (!found) return py::none();
    return py::make_tuple(found->shape, found->difference);
}

void Warn(const std::string& lines) {
    std::size_t start = 0;
    while (start < lines.size()) {
        const std::size_t end = lines.find('\n', start);
        const std::string line = lines.substr(start, end - start);
        if (PyErr_WarnEx(PyExc_UserWarning, line.c_str(), 1) != 0) throw py::error_already_set();
        start = end == std::string::npos ? lines.size() : end + 1;
    }
}

py::tuple Read(const std::string& path) {
    RgbaImage image;
    RunJob job(/*budget=*/nullptr, /*direct=*/false);
    {
        const py::gil_scoped_release unlocked;
        image = ReadPicture(path, 4, job);
    }
    Warn(job.TakeLines());
    const pixels::Shape shape{image.width, image.height, IsOpaque(image) ? 3 : 4, false};
    py::dict metadata;
    const PhotoMetadata& kept = image.metadata;
    metadata["exif"] = py::bytes(reinterpret_cast<const char*>(kept.exif.data()), kept.exif.size());
    metadata["icc"] = py::bytes(reinterpret_cast<const char*>(kept.icc.data()), kept.icc.size());
    metadata["xmp"] = py::str(kept.xmp);
    return py::make_tuple(pixels::ArrayOf(image.pixels.data(), shape, pixels::Order::kEngine),
                          metadata);
}

std::vector<std::uint8_t> BytesOf(const py::dict& metadata, const char* key) {
    if (!metadata.contains(key) || metadata[key].is_none()) return {};
    const std::string bytes = metadata[key].cast<std::string>();
    return {bytes.begin(), bytes.end()};
}

void Write(const std::string& path, const py::array& image, const py::object& metadata,
           const py::handle& quality) {
    const pixels::Shape shape = pixels::ShapeOf(image);
    RgbaImage picture{shape.width, shape.height,
                      pixels::WordsOf(image, shape, pixels::Order::kEngine), {}};
    if (!metadata.is_none()) {
        if (!py::isinstance<py::dict>(metadata))
            throw py::type_error("metadata must be a dict as read() gives it, or None");
        const auto given = py::reinterpret_borrow<py::dict>(metadata);
        picture.metadata.exif = BytesOf(given, "exif");
        picture.metadata.icc = BytesOf(given, "icc");
        if (given.contains("xmp")) picture.metadata.xmp = given["xmp"].cast<std::string>();
    }
    imageio::EncodeOptions options;
    options.jpegQuality = NumberIn(quality, "quality", 1, 100);
    RunJob job(/*budget=*/nullptr, /*direct=*/false);
    {
        const py::gil_scoped_release unlocked;
        WritePicture(path, picture, options, job);
    }
    Warn(job.TakeLines());
}

// The native command's run of INPUT to OUTPUT with its options ARGUMENTS (its files included);
// the lines it would print, each without "trapezoid: ".
std::vector<std::string> RunOneFile(const std::vector<std::string>& arguments,
                                    const std::string& input, const std::string& output) {
    std::vector<std::string> command{"run"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const FilterOptions run = ParseFilterOptions(command, FilterCommand::kRun);
    if (const std::optional<std::string> refusal = SettingsRefusal(run))
        throw py::value_error(*refusal);
    RunJob job(/*budget=*/nullptr, /*direct=*/false);
    {
        const py::gil_scoped_release unlocked;
        RunOne(run, input, output, std::string(), job);
    }
    std::vector<std::string> lines;
    const std::string text = job.TakeLines();
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start + std::strlen("trapezoid: "),
                                    end - start - std::strlen("trapezoid: ")));
        start = end + 1;
    }
    return lines;
}

// A batch's files, input and output, checked as the native command checks them before any work.
std::vector<std::pair<std::string, std::string>> PlanBatch(
    const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"run"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const FilterOptions run = ParseFilterOptions(command, FilterCommand::kRun);
    if (!run.batch) throw UsageError("a collection needs --out-dir DIR");
    CheckBatch(*run.batch, FileIdentity);
    if (const std::optional<std::string> refusal = SettingsRefusal(run))
        throw py::value_error(*refusal);
    std::vector<std::pair<std::string, std::string>> plan;
    for (const std::string& input : run.inputs)
        plan.emplace_back(input, BatchOutputPath(*run.batch, input));
    return plan;
}

}  // namespace

PYBIND11_MODULE(_engine, module) {
    module.doc() = "The keystone-correction engine on NumPy arrays and image files.";
    static py::exception<HostError> fileError(module, "FileError", PyExc_OSError);
    py::register_exception_translator([](std::exception_ptr raised) {
        try {
            if (raised) std::rethrow_exception(raised);
        } catch (const UsageError& error) {
            PyErr_SetString(PyExc_ValueError, error.what());
        } catch (const HostError& error) {
            fileError(error.what());
        }
    });
    module.def("correct", &Correct, py::arg("image"), py::arg("shape") = 1,
               py::arg("difference") = 0, py::arg("fill") = "edge",
               py::arg("transparent") = false, py::arg("perspective") = false,
               py::arg("proportions") = false, py::arg("focal") = 28,
               py::arg("rect") = py::none(), py::arg("mask") = py::none(),
               py::arg("fg") = py::none(), py::arg("bg") = py::none());
    module.def("suggest", &SuggestFor, py::arg("image"), py::arg("horizontal") = false,
               py::arg("perspective") = false, py::arg("rect") = py::none(),
               py::arg("mask") = py::none());
    module.def("read", &Read, py::arg("path"));
    module.def("write", &Write, py::arg("path"), py::arg("image"),
               py::arg("metadata") = py::none(), py::arg("quality") = 92);
    module.def("run_one", &RunOneFile, py::arg("arguments"), py::arg("input"), py::arg("output"));
    module.def("plan_batch", &PlanBatch, py::arg("arguments"));
}
