#include "tests/support/JpegReference.hpp"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <random>
#include <stdexcept>

namespace {

// libjpeg reports errors through a callback that must not return: jump back.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo)
{
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

void keepMessage(j_common_ptr cinfo)
{
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
}

void installErrors(jpeg_decompress_struct& cinfo, ErrorManager& manager)
{
    cinfo.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = errorExit;
    manager.base.output_message = keepMessage;
    manager.message[0] = 0;
}

// Every C++ object the jump could skip lives in the callers: these two hold
// only C state between setjmp and the end.
bool decodeInto(jpeg_decompress_struct& cinfo, ErrorManager& manager, const std::vector<std::uint8_t>& file,
                ReferenceImage& image, ReferenceOutput output)
{
    if (setjmp(manager.jump))
        return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = FALSE;
    if (output != ReferenceOutput::Rgb && cinfo.num_components == 3)
        cinfo.jpeg_color_space = JCS_YCbCr;
    cinfo.out_color_space = cinfo.num_components == 1               ? JCS_GRAYSCALE
                            : output == ReferenceOutput::YCbCr ? JCS_YCbCr
                                                                    : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    image.width = static_cast<int>(cinfo.output_width);
    image.height = static_cast<int>(cinfo.output_height);
    image.components = cinfo.output_components;
    image.pixels.resize(std::size_t(image.width) * image.height * image.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.pixels.data() + std::size_t(cinfo.output_scanline) * image.width * image.components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

bool coefficientsInto(jpeg_decompress_struct& cinfo, ErrorManager& manager, const std::vector<std::uint8_t>& file,
                      std::vector<ReferenceCoefficients>& components)
{
    if (setjmp(manager.jump))
        return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&cinfo);
    components.resize(static_cast<std::size_t>(cinfo.num_components));
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& info = cinfo.comp_info[c];
        ReferenceCoefficients& out = components[static_cast<std::size_t>(c)];
        out.codedRows = static_cast<int>(info.height_in_blocks);
        out.codedColumns = static_cast<int>(info.width_in_blocks);
        // The arrays are rounded up to whole MCUs of the component.
        out.rows = (out.codedRows + info.v_samp_factor - 1) / info.v_samp_factor * info.v_samp_factor;
        out.columns = (out.codedColumns + info.h_samp_factor - 1) / info.h_samp_factor * info.h_samp_factor;
        out.values.assign(std::size_t(out.rows) * out.columns * 64, 0);
        const UINT16* quant = info.quant_table->quantval;
        for (int row = 0; row < out.rows; ++row) {
            JBLOCKARRAY blocks = (*cinfo.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&cinfo), arrays[c],
                                                                  static_cast<JDIMENSION>(row), 1, FALSE);
            for (int column = 0; column < out.columns; ++column)
                for (int i = 0; i < 64; ++i)
                    out.values[(std::size_t(row) * out.columns + column) * 64 + i] =
                        blocks[0][column][i] * static_cast<std::int32_t>(quant[i]);
        }
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

} // namespace

bool referenceDecode(const std::vector<std::uint8_t>& file, ReferenceImage& image, std::string& error,
                     ReferenceOutput output)
{
    jpeg_decompress_struct cinfo{};
    ErrorManager manager;
    installErrors(cinfo, manager);
    const bool ok = decodeInto(cinfo, manager, file, image, output);
    jpeg_destroy_decompress(&cinfo);
    error = manager.message;
    return ok;
}

bool referenceCoefficients(const std::vector<std::uint8_t>& file, std::vector<ReferenceCoefficients>& components,
                           std::string& error)
{
    jpeg_decompress_struct cinfo{};
    ErrorManager manager;
    installErrors(cinfo, manager);
    const bool ok = coefficientsInto(cinfo, manager, file, components);
    jpeg_destroy_decompress(&cinfo);
    error = manager.message;
    return ok;
}

std::vector<std::uint8_t> referenceEncode(const EncodeOptions& options, const std::vector<std::uint8_t>& pixels)
{
    if (pixels.size() != std::size_t(options.width) * options.height * options.components)
        throw std::invalid_argument("referenceEncode: pixel count does not match the size");
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors); // encoding our own pictures: an error is a test bug and exits
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(options.width);
    cinfo.image_height = static_cast<JDIMENSION>(options.height);
    cinfo.input_components = options.components;
    cinfo.in_color_space = options.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    cinfo.comp_info[0].h_samp_factor = options.horizontalFactor;
    cinfo.comp_info[0].v_samp_factor = options.verticalFactor;
    cinfo.restart_interval = options.restartInterval;
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t rowBytes = std::size_t(options.width) * options.components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + std::size_t(cinfo.next_scanline) * rowBytes);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> file(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return file;
}

std::vector<std::uint8_t> referenceTranscode(const std::vector<std::uint8_t>& file, const TranscodeOptions& options)
{
    // Our own well-formed files and scripts: an error is a test bug and exits.
    jpeg_decompress_struct source{};
    jpeg_compress_struct target{};
    jpeg_error_mgr sourceErrors, targetErrors;
    source.err = jpeg_std_error(&sourceErrors);
    target.err = jpeg_std_error(&targetErrors);
    jpeg_create_decompress(&source);
    jpeg_create_compress(&target);
    jpeg_mem_src(&source, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&source, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&source);
    jpeg_copy_critical_parameters(&source, &target);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&target, &buffer, &size);
    target.restart_interval = options.restartInterval;
    target.optimize_coding = options.optimize ? TRUE : FALSE;
    std::vector<jpeg_scan_info> script;
    for (const ScanSpec& scan : options.scans) {
        jpeg_scan_info info{};
        info.comps_in_scan = static_cast<int>(scan.components.size());
        for (std::size_t i = 0; i < scan.components.size(); ++i)
            info.component_index[i] = scan.components[i];
        info.Ss = scan.first, info.Se = scan.last, info.Ah = scan.high, info.Al = scan.low;
        script.push_back(info);
    }
    if (!script.empty()) {
        target.scan_info = script.data();
        target.num_scans = static_cast<int>(script.size());
    } else if (options.progressive) {
        jpeg_simple_progression(&target);
    }
    jpeg_write_coefficients(&target, coefficients);
    jpeg_finish_compress(&target);
    jpeg_finish_decompress(&source);
    std::vector<std::uint8_t> result(buffer, buffer + size);
    jpeg_destroy_compress(&target);
    jpeg_destroy_decompress(&source);
    std::free(buffer);
    return result;
}

std::vector<std::uint8_t> photoPixels(int width, int height, int components, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> grain(-12, 12);
    std::vector<std::uint8_t> pixels(std::size_t(width) * height * components);
    const double sunX = 0.7 * width, sunY = 0.25 * height, sunRadius = 0.12 * std::min(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width, fy = double(y) / height;
            double rgb[3] = {90 + 80 * fy, 140 + 60 * fy, 230 - 40 * fy}; // sky
            const double ridge = height * (0.6 + 0.08 * std::sin(fx * 9.0));
            if (std::hypot(x - sunX, y - sunY) < sunRadius)
                rgb[0] = 255, rgb[1] = 230, rgb[2] = 120;
            if (y > ridge) {
                rgb[0] = 40 + 50 * fx, rgb[1] = 110 + 40 * std::sin(x * 0.05), rgb[2] = 40;
                rgb[0] += grain(random) * 2, rgb[1] += grain(random) * 2;
            }
            if (fx < 0.2 && fy > 0.75)
                rgb[0] = rgb[1] = rgb[2] = ((x / 8 + y / 8) % 2) ? 250 : 10; // checkerboard
            if (fx > 0.8 && fy > 0.75)
                rgb[0] = rgb[1] = rgb[2] = (x % 2) ? 240 : 20; // fine stripes
            if (fy < 0.08) { // colour bars R G B C M Y K W
                static const int bars[8][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 255, 255},
                                               {255, 0, 255}, {255, 255, 0}, {0, 0, 0}, {255, 255, 255}};
                const int* bar = bars[std::min(7, x * 8 / width)];
                rgb[0] = bar[0], rgb[1] = bar[1], rgb[2] = bar[2];
            }
            for (double& v : rgb)
                v += grain(random) * 0.5;
            std::uint8_t* out = &pixels[(std::size_t(y) * width + x) * components];
            auto byte = [](double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
            if (components == 1) {
                out[0] = byte(0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]);
            } else {
                for (int c = 0; c < 3; ++c)
                    out[c] = byte(rgb[c]);
            }
        }
    }
    return pixels;
}

std::vector<std::uint8_t> portablePixmap(int width, int height, int components, const std::vector<std::uint8_t>& pixels)
{
    char header[64];
    const int n = std::snprintf(header, sizeof header, "P%d\n%d %d\n255\n", components == 1 ? 5 : 6, width, height);
    std::vector<std::uint8_t> file(header, header + n);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}
