from os import PathLike
from typing import Optional, Sequence, Tuple, TypedDict, Union

import numpy
import numpy.typing

Image = numpy.typing.NDArray[Union[numpy.uint8, numpy.uint16]]
Colour = Union[Tuple[int, int, int], Tuple[int, int, int, int]]
Rect = Tuple[int, int, int, int]
Path = Union[str, PathLike[str]]

class Metadata(TypedDict):
    exif: bytes
    icc: bytes
    xmp: str

class FileError(OSError): ...

def correct(image: Image, shape: int = 1, difference: int = 0, fill: str = "edge",
            transparent: bool = False, perspective: bool = False, proportions: bool = False,
            focal: int = 28, rect: Optional[Rect] = None,
            mask: Optional[numpy.typing.NDArray[numpy.uint8]] = None,
            fg: Optional[Colour] = None, bg: Optional[Colour] = None) -> Image: ...
def suggest(image: Image, horizontal: bool = False, perspective: bool = False,
            rect: Optional[Rect] = None,
            mask: Optional[numpy.typing.NDArray[numpy.uint8]] = None
            ) -> Optional[Tuple[int, int]]: ...
def read(path: Path) -> Tuple[numpy.typing.NDArray[numpy.uint8], Metadata]: ...
def write(path: Path, image: Image, metadata: Optional[Metadata] = None,
          quality: int = 92) -> None: ...
def run_file(input: Path, output: Path, auto: bool = False, *, shape: int = ...,
             difference: int = ..., fill: str = ..., transparent: bool = ...,
             perspective: bool = ..., classic: bool = ..., settings: Path = ...,
             rect: Union[Rect, str] = ..., mask: Path = ..., fg: Union[Colour, str] = ...,
             bg: Union[Colour, str] = ..., quality: int = ..., strip: bool = ...,
             horizontal: bool = ...) -> list[str]: ...
