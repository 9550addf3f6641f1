! ostrem_travel -- seismic travel times from Fortran 2003: bind(C)
! interfaces to ostrem_travel.h, with the header's meanings.
!
! Handles are type(c_ptr); c_null_ptr means the call failed, and why then
! holds the reason up to its first c_null_char.  Strings go to C ended by
! c_null_char:
!
!   model = travel_model_open("ak135" // c_null_char, why, len(why, c_size_t))
!   source = travel_source_open(model, 10.0_c_double, "P,S" // c_null_char, why, len(why, c_size_t))
!   call travel_first_arrivals(source, size(distance, kind=c_size_t), distance, time, ray_parameter)
!
! Link with the library: gfortran prog.f90 $(pkg-config --cflags --libs ostrem-travel)
module ostrem_travel
  use, intrinsic :: iso_c_binding, only: c_ptr, c_char, c_double, c_size_t
  implicit none
  private
  public :: travel_model_open, travel_model_close, travel_source_open, travel_source_close
  public :: travel_first_arrivals

  interface
    ! "iasp91", "ak135", or a .tvel or .nd file.
    type(c_ptr) function travel_model_open(name, why, why_size) bind(C, name="travel_model_open")
      import :: c_ptr, c_char, c_size_t
      character(kind=c_char), dimension(*), intent(in) :: name
      character(kind=c_char), dimension(*), intent(out) :: why
      integer(c_size_t), value :: why_size
    end function travel_model_open

    subroutine travel_model_close(model) bind(C, name="travel_model_close")
      import :: c_ptr
      type(c_ptr), value :: model
    end subroutine travel_model_close

    ! A source at depth_km (kilometres) for the phases named ("P,Pdiff,PKIKP").
    type(c_ptr) function travel_source_open(model, depth_km, phases, why, why_size) &
        bind(C, name="travel_source_open")
      import :: c_ptr, c_char, c_double, c_size_t
      type(c_ptr), value :: model
      real(c_double), value :: depth_km
      character(kind=c_char), dimension(*), intent(in) :: phases
      character(kind=c_char), dimension(*), intent(out) :: why
      integer(c_size_t), value :: why_size
    end function travel_source_open

    subroutine travel_source_close(source) bind(C, name="travel_source_close")
      import :: c_ptr
      type(c_ptr), value :: source
    end subroutine travel_source_close

    ! For each of n distances (degrees), the first arrival's time (s) and
    ! ray parameter (s/deg); NaN where none arrives.
    subroutine travel_first_arrivals(source, n, distance, time, ray_parameter) &
        bind(C, name="travel_first_arrivals")
      import :: c_ptr, c_double, c_size_t
      type(c_ptr), value :: source
      integer(c_size_t), value :: n
      real(c_double), dimension(*), intent(in) :: distance
      real(c_double), dimension(*), intent(out) :: time, ray_parameter
    end subroutine travel_first_arrivals
  end interface
end module ostrem_travel
